#include "history/drift_watch.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>

#include "history/production.h"
#include "history/trail_reads.h"
#include "quality/drift.h"
#include "records/database.h"
#include "toolkit/toolkit.h"
#include "trail/audit_row.h"

namespace history {

namespace {

constexpr std::size_t RECENT = quality::RunRuleChecker::RUN_POINTS;

const char* TESTED =
    "outcome IN ('O.K', 'N.G') AND area IS NOT NULL AND phase IS NOT NULL AND judge IS NOT NULL";

std::string Rules(const char* item, quality::RuleSet rules) {
    std::string text;
    for (unsigned rule = 1; rule <= 4; ++rule) {
        if (rules.Has(static_cast<quality::Rule>(rule))) {
            text += (text.empty() ? std::string(item) + " 규칙 " : ", ") + std::to_string(rule);
        }
    }
    return text;
}

void Push(std::deque<int>* recent, int value) {
    recent->push_back(value);
    if (recent->size() > RECENT) {
        recent->pop_front();
    }
}

std::string BrokenRules(const Drift& drift) {
    std::string text;
    for (const std::string& part : {Rules("면적", drift.area), Rules("위상", drift.phase),
                                    std::string(drift.frequency ? "주파수 EWMA" : ""),
                                    std::string(drift.damping ? "감쇠 EWMA" : "")}) {
        text += (text.empty() || part.empty() ? "" : ", ") + part;
    }
    return text;
}

// The frequency and damping of a query's rows, in the order given.
bool ReadWaveRows(QSqlQuery* query, std::vector<double>* frequency, std::vector<double>* damping) {
    if (!query->exec()) {
        return false;
    }
    while (query->next()) {
        frequency->push_back(query->value(0).toDouble());
        damping->push_back(query->value(1).toDouble());
    }
    return true;
}

// The wave's baseline, the version's first fitted tests, and its newest fitted tests since
// `since`, oldest first; the watch loaded from them. A file without the wave's columns has none.
bool LoadWave(QSqlDatabase& connection, const QString& production, const std::string& master,
              const std::string& version, const QString& since, WaveDrift* watch, Drift* drift) {
    QSqlQuery columns(connection);
    if (!columns.exec(QStringLiteral("SELECT * FROM inspection WHERE 1 = 0")) ||
        columns.record().indexOf(QStringLiteral("ringing_frequency")) < 0) {
        watch->Load({}, {}, {}, {}, drift);
        return true;
    }
    const QString fitted = production + QStringLiteral(
                                            " AND ringing_frequency IS NOT NULL AND damping IS"
                                            " NOT NULL");
    std::vector<double> base_f, base_d, recent_f, recent_d;
    QSqlQuery base(connection);
    base.setForwardOnly(true);
    QSqlQuery recent(connection);
    recent.setForwardOnly(true);
    if (!base.prepare(QStringLiteral("SELECT ringing_frequency, damping FROM inspection WHERE"
                                     " master = ? AND master_version = ?") +
                      fitted + QStringLiteral(" ORDER BY started_at, id LIMIT ?")) ||
        !recent.prepare(QStringLiteral("SELECT ringing_frequency, damping FROM inspection WHERE"
                                       " master = ? AND started_at > COALESCE(?, '')") +
                        fitted + QStringLiteral(" ORDER BY started_at DESC, id DESC LIMIT ?"))) {
        return false;
    }
    base.addBindValue(QString::fromStdString(master));
    base.addBindValue(QString::fromStdString(version));
    base.addBindValue(quality::DEFAULT_BASELINE_POINTS);
    recent.addBindValue(QString::fromStdString(master));
    recent.addBindValue(since);
    recent.addBindValue(WaveDrift::REPLAY);
    if (!ReadWaveRows(&base, &base_f, &base_d) || !ReadWaveRows(&recent, &recent_f, &recent_d)) {
        return false;
    }
    std::reverse(recent_f.begin(), recent_f.end());
    std::reverse(recent_d.begin(), recent_d.end());
    watch->Load(base_f, base_d, recent_f, recent_d, drift);
    return true;
}

}  // namespace

std::string DriftText(const Drift& drift) {
    return drift.Signal() ? std::string(DRIFT_PREFIX) + ": " + BrokenRules(drift) : std::string();
}

std::string DriftRule(const Drift& drift) {
    return drift.Signal() ? std::string(DRIFT_PREFIX) + " " + BrokenRules(drift) : std::string();
}

bool DriftWatch::Load(records::Database* db, const Inspection& inspection, Drift* wave_drift) {
    loaded_ = false;
    master_ = inspection.master;
    version_ = inspection.master_version;
    baseline_area_.clear();
    baseline_phase_.clear();
    area_.clear();
    phase_.clear();
    const records::DbStatus status = db->Read([this, wave_drift](QSqlDatabase& connection) {
        QSqlQuery query(connection);
        const bool marked = query.exec(QStringLiteral("SELECT * FROM inspection WHERE 1 = 0")) &&
                            query.record().indexOf(QStringLiteral("reference")) >= 0;
        const QString production = QStringLiteral(" AND ") + QString::fromLatin1(TESTED) +
                                   QStringLiteral(" AND ") +
                                   QString::fromStdString(ProductionCondition(marked));
        query.setForwardOnly(true);
        if (!query.prepare(QStringLiteral("SELECT area, phase FROM inspection WHERE master = ? AND"
                                          " master_version = ?") +
                           production + QStringLiteral(" ORDER BY started_at, id LIMIT ?"))) {
            return records::DbStatus::Failed;
        }
        query.addBindValue(QString::fromStdString(master_));
        query.addBindValue(QString::fromStdString(version_));
        query.addBindValue(quality::DEFAULT_BASELINE_POINTS);
        if (!query.exec()) {
            return records::DbStatus::Failed;
        }
        while (query.next()) {
            baseline_area_.push_back(query.value(0).toInt());
            baseline_phase_.push_back(query.value(1).toInt());
        }
        // The rules look only at readings after the master's last drift stop acknowledged.
        const QString since =
            LastAcknowledged(connection, master_, trail::CODE_STOP_DRIFT).value_or(QString());
        QSqlQuery newest(connection);
        newest.setForwardOnly(true);
        if (!newest.prepare(
                QStringLiteral("SELECT area, phase FROM inspection WHERE master = ? AND started_at"
                               " > COALESCE(?, '')") +
                production + QStringLiteral(" ORDER BY started_at DESC, id DESC LIMIT ?"))) {
            return records::DbStatus::Failed;
        }
        newest.addBindValue(QString::fromStdString(master_));
        newest.addBindValue(since);
        newest.addBindValue(static_cast<int>(RECENT));
        if (!newest.exec()) {
            return records::DbStatus::Failed;
        }
        while (newest.next()) {
            area_.push_front(newest.value(0).toInt());
            phase_.push_front(newest.value(1).toInt());
        }
        if (watching_wave_ &&
            !LoadWave(connection, production, master_, version_, since, &wave_, wave_drift)) {
            return records::DbStatus::Failed;
        }
        return records::DbStatus::Ok;
    });
    loaded_ = status == records::DbStatus::Ok;
    Limits();
    return loaded_;
}

void DriftWatch::Limits() {
    area_limits_ = quality::ComputeLimits(baseline_area_);
    phase_limits_ = quality::ComputeLimits(baseline_phase_);
}

Drift DriftWatch::After(records::Database* db, const Inspection& inspection) {
    return After(db, inspection, nullptr);
}

Drift DriftWatch::After(records::Database* db, const Inspection& inspection,
                        const WaveOpinion* wave) {
    const bool tested = inspection.result && inspection.setup &&
                        (inspection.outcome == Outcome::OK || inspection.outcome == Outcome::NG);
    if (!tested || db == nullptr || !db->IsOpen()) {
        return {};
    }
    Drift drift;
    if (!loaded_ || inspection.master != master_ || inspection.master_version != version_ ||
        watching_wave_ != (wave != nullptr)) {
        watching_wave_ = wave != nullptr;
        // The newest record read back is this inspection's own.
        if (!Load(db, inspection, &drift)) {
            return {};
        }
    } else {
        if (wave != nullptr) {
            wave_.Add(*wave, &drift);
        }
        Push(&area_, inspection.result->area);
        Push(&phase_, inspection.result->phase);
        if (baseline_area_.size() < static_cast<std::size_t>(quality::DEFAULT_BASELINE_POINTS)) {
            baseline_area_.push_back(inspection.result->area);
            baseline_phase_.push_back(inspection.result->phase);
            Limits();
        }
    }
    const std::vector<int> area(area_.begin(), area_.end());
    const std::vector<int> phase(phase_.begin(), phase_.end());
    drift.area = quality::CheckDrift(area_limits_, area);
    drift.phase = quality::CheckDrift(phase_limits_, phase);
    return drift;
}

void DriftWatch::Restart() {
    area_.clear();
    phase_.clear();
    wave_.Restart();
}

void ShowDrift(const Strip& strip, const Drift& drift, const std::string& at, int* clean_since) {
    if (drift.Signal()) {
        *clean_since = 0;
        if (strip.panel > 0 && strip.drift > 0) {
            SetCtrlVal(strip.panel, strip.drift, (DriftText(drift) + " (" + at + ")").c_str());
            SetCtrlAttribute(strip.panel, strip.drift, ATTR_VISIBLE, 1);
        }
        return;
    }
    if (++*clean_since >= static_cast<int>(RECENT) && strip.panel > 0 && strip.drift > 0) {
        SetCtrlAttribute(strip.panel, strip.drift, ATTR_VISIBLE, 0);
    }
}

}  // namespace history
