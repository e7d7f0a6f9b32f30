// The drift check after each cycle: the newest readings of the master just tested, against the
// limits of its chart (its version's first 25 production tests, as the chart panel draws them)
// and the run rules. What it needs is read at a master's first test and then kept, so a cycle
// costs a few comparisons.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "history/drift.h"
#include "history/strip.h"
#include "history/wave_drift.h"
#include "quality/control_limits.h"
#include "quality/run_rules.h"
#include "values/inspection.h"
#include "values/wave_opinion.h"

namespace records {
class Database;
}

namespace history {

class DriftWatch {
  public:
    // After `inspection` was written to `db` (a production test with readings; anything else
    // breaks no rule).
    Drift After(records::Database* db, const Inspection& inspection);
    // The same, and with `wave` (its opinion, recorded with it) the EWMA of its frequency and
    // damping watched too, as [drift] wave asks.
    Drift After(records::Database* db, const Inspection& inspection, const WaveOpinion* wave);
    // The rules look only at the readings that come after this; the limits stay.
    void Restart();

  private:
    bool Load(records::Database* db, const Inspection& inspection, Drift* wave_drift);
    void Limits();

    bool loaded_ = false;
    bool watching_wave_ = false;
    std::string master_;
    std::string version_;
    std::vector<int> baseline_area_;
    std::vector<int> baseline_phase_;
    quality::ControlLimits area_limits_;
    quality::ControlLimits phase_limits_;
    std::deque<int> area_;  // the master's newest readings, newest last
    std::deque<int> phase_;
    WaveDrift wave_;
};

// Shows the drift on the strip, amber, with the time of its signal, until RUN_POINTS tests
// of the master in a row break no rule (or another master is tested).
void ShowDrift(const Strip& strip, const Drift& drift, const std::string& at, int* clean_since);

}  // namespace history
