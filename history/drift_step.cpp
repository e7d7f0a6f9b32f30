#include "history/drift_step.h"

#include <string>

#include "history/drift_watch.h"
#include "history/record_writer.h"
#include "quality/run_rules.h"
#include "records/record_fields.h"
#include "settings/settings_in_force.h"

namespace history {

namespace {

struct Watch {
    Strip strip;
    DriftWatch drift;
    std::string master;  // the master the strip's drift is of
    int clean = 0;       // its tests in a row without a signal
};

Watch& TheWatch() {
    static auto* watch = new Watch;
    return *watch;
}

Drift Watched(const Inspection& inspection, const WaveOpinion& wave, bool recorded,
              bool watch_wave) {
    Watch& w = TheWatch();
    if (!recorded) {
        return {};
    }
    const Drift drift = w.drift.After(WriterDatabase(), inspection, watch_wave ? &wave : nullptr);
    if (inspection.master != w.master) {
        w.master = inspection.master;
        w.clean = quality::RunRuleChecker::RUN_POINTS - 1;
    }
    ShowDrift(w.strip, drift, records::IsoTime(inspection.started_at).mid(11, 5).toStdString(),
              &w.clean);
    return drift;
}

}  // namespace

void StartDriftWatch(const Strip& strip) {
    TheWatch() = Watch{};
    TheWatch().strip = strip;
}

Drift WatchDrift(const Inspection& inspection, bool recorded) {
    return Watched(inspection, WaveOpinion{}, recorded, false);
}

Drift WatchDrift(const Inspection& inspection, const WaveOpinion& wave, bool recorded) {
    return Watched(inspection, wave, recorded, settings::Settings().drift.wave);
}

void RestartDrift() {
    TheWatch().drift.Restart();
}

}  // namespace history
