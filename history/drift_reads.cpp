#include "history/drift_reads.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>

#include "history/production.h"
#include "history/trail_reads.h"
#include "history/wave_drift.h"
#include "quality/drift.h"
#include "trail/audit_row.h"

namespace history {

namespace {

constexpr int RECENT = quality::RunRuleChecker::RUN_POINTS;

const char* TESTED =
    "outcome IN ('O.K', 'N.G') AND area IS NOT NULL AND phase IS NOT NULL AND judge IS NOT NULL";

bool HasColumn(QSqlDatabase& db, const char* column) {
    QSqlQuery query(db);
    return query.exec(QStringLiteral("SELECT * FROM inspection WHERE 1 = 0")) &&
           query.record().indexOf(QLatin1String(column)) >= 0;
}

// The subject's production tests that `condition` (with `values` bound after the master) keeps,
// `limit` of them in the order `order` asks, the two `columns` of each into `ints` or `doubles`.
struct Read {
    QString columns;
    QString condition;
    std::vector<QVariant> values;
    const char* order;
    int limit;
};

bool Rows(QSqlDatabase& db, const DriftSubject& subject, const QString& production,
          const Read& read, std::vector<int>* ints, std::vector<double>* doubles) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const QString station =
        subject.station.empty() ? QString() : QStringLiteral(" AND station = ?");
    if (!query.prepare(QStringLiteral("SELECT %1 FROM inspection WHERE master = ?%2%3%4 ORDER BY %5"
                                      " LIMIT ?")
                           .arg(read.columns, read.condition, station, production,
                                QLatin1String(read.order)))) {
        return false;
    }
    query.addBindValue(QString::fromStdString(subject.master));
    for (const QVariant& value : read.values) {
        query.addBindValue(value);
    }
    if (!subject.station.empty()) {
        query.addBindValue(QString::fromStdString(subject.station));
    }
    query.addBindValue(read.limit);
    if (!query.exec()) {
        return false;
    }
    while (query.next()) {
        for (int column = 0; column < 2; ++column) {
            if (ints != nullptr) {
                ints[column].push_back(query.value(column).toInt());
            } else {
                doubles[column].push_back(query.value(column).toDouble());
            }
        }
    }
    return true;
}

}  // namespace

bool ReadDriftReadings(QSqlDatabase& db, const DriftSubject& subject, DriftReadings* readings) {
    const QString production =
        QStringLiteral(" AND ") + QString::fromLatin1(TESTED) + QStringLiteral(" AND ") +
        QString::fromStdString(ProductionCondition(HasColumn(db, "reference")));
    const QVariant version = QString::fromStdString(subject.version);
    const QString of_version = QStringLiteral(" AND master_version = ?");
    const char* oldest = "started_at, id";
    const char* newest = "started_at DESC, id DESC";
    std::vector<int> base[2];
    std::vector<int> recent[2];
    if (!Rows(db, subject, production,
              {QStringLiteral("area, phase"),
               of_version,
               {version},
               oldest,
               quality::DEFAULT_BASELINE_POINTS},
              base, nullptr)) {
        return false;
    }
    // The rules look only at readings after the master's last drift stop acknowledged.
    const QVariant since =
        LastAcknowledged(db, subject.master, trail::CODE_STOP_DRIFT, subject.station)
            .value_or(QString());
    const QString after = QStringLiteral(" AND started_at > COALESCE(?, '')");
    if (!Rows(db, subject, production,
              {QStringLiteral("area, phase"), after, {since}, newest, RECENT}, recent, nullptr)) {
        return false;
    }
    *readings = DriftReadings{};
    readings->baseline_area = base[0];
    readings->baseline_phase = base[1];
    readings->area.assign(recent[0].rbegin(), recent[0].rend());
    readings->phase.assign(recent[1].rbegin(), recent[1].rend());
    if (!subject.wave || !HasColumn(db, "ringing_frequency")) {
        return true;
    }
    // The wave's baseline, the version's first fitted tests, and its newest fitted tests.
    const QString fitted = production + QStringLiteral(
                                            " AND ringing_frequency IS NOT NULL AND damping IS"
                                            " NOT NULL");
    const QString columns = QStringLiteral("ringing_frequency, damping");
    std::vector<double> wave_base[2];
    std::vector<double> wave_recent[2];
    if (!Rows(db, subject, fitted,
              {columns, of_version, {version}, oldest, quality::DEFAULT_BASELINE_POINTS}, nullptr,
              wave_base) ||
        !Rows(db, subject, fitted, {columns, after, {since}, newest, WaveDrift::REPLAY}, nullptr,
              wave_recent)) {
        return false;
    }
    readings->baseline_frequency = wave_base[0];
    readings->baseline_damping = wave_base[1];
    readings->frequency.assign(wave_recent[0].rbegin(), wave_recent[0].rend());
    readings->damping.assign(wave_recent[1].rbegin(), wave_recent[1].rend());
    return true;
}

Drift DriftOf(const DriftReadings& readings, bool wave) {
    Drift drift;
    if (wave) {
        WaveDrift watch;
        watch.Load(readings.baseline_frequency, readings.baseline_damping, readings.frequency,
                   readings.damping, &drift);
    }
    drift.area = quality::CheckDrift(quality::ComputeLimits(readings.baseline_area), readings.area);
    drift.phase =
        quality::CheckDrift(quality::ComputeLimits(readings.baseline_phase), readings.phase);
    return drift;
}

}  // namespace history
