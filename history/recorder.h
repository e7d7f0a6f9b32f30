// The inspection history as the station sees it: the inspection cycle hands each inspection to
// Record when it ends; the main panel's strip shows today's counts.
#pragma once

#include <string>

#include "history/basics.h"
#include "history/drift.h"
#include "values/inspection.h"

namespace history {

// The controls of the main panel that show today's counts.
struct Strip {
    int panel = 0;
    int tested = 0;
    int ok = 0;
    int ng = 0;
    int yield = 0;
    int recording = 0;      // shown while the history is recorded
    int recording_off = 0;  // shown while it is not
    int waiting = 0;        // the records not yet on the plant's server (shown while one is set)
    int drift = 0;          // "추세 경고" with the rule broken, shown while the master drifts
    int first_pass = 0;     // 직행률
};

// What a drift alarm's text, and a line stop's rule on it, begin with.
constexpr const char* DRIFT_PREFIX = "추세 경고";

// Opens "inspection_history.db" in the working directory and shows today's counts on `strip`.
// With SURGE_HISTORY=off nothing is opened or written and the strip says so. With a server in
// SURGE_HISTORY_DB every record is also queued and sent to it, off the inspection's path.
void Start(const Strip& strip);
// Records the inspection, on disk before it returns, and updates the strip. When the database
// cannot be written, recording is off: the operator is told once, the cycle goes on as always, and
// the records wait in memory for the next cycle that can write them. Returns the drift the cycle
// signalled for its master (none when it was not written).
Drift Record(const Inspection& inspection);
// The drift watch's run rules begin anew with the next cycle: a drift's line stop was
// acknowledged, and the readings before it are the reaction's past.
void RestartDrift();
// Tries to write every record waiting in memory now; the records still waiting, or -1 with the
// history off (SURGE_HISTORY=off).
long WriteWaiting();
// The records the plant's server has not acknowledged yet, those held in memory too; -1 without
// a server.
long Waiting();
// The records the plant's server refused, set aside; 0 without a server.
long Refused();
// Closes the database (the station's shutdown), after a last try at the records held back; waits
// for the forwarder at most 3 s.
void Stop();

}  // namespace history
