#include "history/drift_watch.h"

#include <QSqlDatabase>

#include "history/drift_reads.h"
#include "quality/drift.h"
#include "records/database.h"
#include "toolkit/toolkit.h"

namespace history {

namespace {

constexpr std::size_t RECENT = quality::RunRuleChecker::RUN_POINTS;

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
    DriftReadings readings;
    const records::DbStatus status = db->Read([this, &readings](QSqlDatabase& connection) {
        return ReadDriftReadings(connection, {master_, version_, {}, watching_wave_}, &readings)
                   ? records::DbStatus::Ok
                   : records::DbStatus::Failed;
    });
    loaded_ = status == records::DbStatus::Ok;
    baseline_area_ = readings.baseline_area;
    baseline_phase_ = readings.baseline_phase;
    area_.assign(readings.area.begin(), readings.area.end());
    phase_.assign(readings.phase.begin(), readings.phase.end());
    if (loaded_ && watching_wave_) {
        wave_.Load(readings.baseline_frequency, readings.baseline_damping, readings.frequency,
                   readings.damping, wave_drift);
    }
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
