// The gates asked before a test starts: the retest limit, the line stop (a wave hold among its
// kinds) and the reference check, each off until "station.ini" turns it on. A refusal is a warning
// that names its reason; an engineer may override it (or acknowledge the line stop) with a reason,
// each an audit row.
#pragma once

#include <chrono>
#include <string>

#include "history/drift.h"
#include "values/inspection.h"
#include "values/wave_opinion.h"

namespace gates {

// The main panel's controls the gates show on.
struct GateStrip {
    int panel = 0;
    int stop = 0;  // red: the line stop, or the reference check production waits for
    int note = 0;  // when the reference check passed
};

struct Unit {
    std::string serial;
    std::string master;
    std::string master_version;
    std::chrono::system_clock::time_point now;
};

// What a start may do: go or not, and what its record carries.
struct Admission {
    bool go = true;
    int attempt = 1;
    bool reference = false;
};

// Starts the gates on `strip`, which follows the settings in force from then on.
void Start(const GateStrip& strip);
// The gates in force for `unit`; the operator is told of a refusal, and an engineer asked.
Admission Admit(const Unit& unit);
// After a cycle: a reference unit's verdict judged, the drift the history signalled for its master
// and a unit passed whose `wave` the station flagged each taken as a line stop where the plant has
// it so, each new line stop an audit row, the strip shown.
void AfterCycle(const Inspection& inspection, const history::Drift& drift, const WaveOpinion& wave);
// The unit's earlier tests within the window of attempts ("재검사 N회" while it is in the field).
int EarlierTests(const std::string& serial);
// Shows the gates' state of `master` (at start-up, and when the master changed).
void Show(const std::string& master, const std::string& master_version);

}  // namespace gates
