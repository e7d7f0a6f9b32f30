// The inspection history as the station sees it: each inspection recorded when its cycle ends,
// today's counts and the drift on the main panel's strip, the feed to the plant's server.
#pragma once

#include <string>

#include "history/basics.h"
#include "history/drift.h"
#include "history/drift_step.h"
#include "history/record_writer.h"
#include "history/strip.h"
#include "history/today_counts.h"
#include "values/inspection.h"

namespace history {

// Opens "inspection_history.db" in the working directory and shows today's counts on `strip`.
// With SURGE_HISTORY=off nothing is opened or written and the strip says so. With a server in
// SURGE_HISTORY_DB every record is also queued and sent to it, off the inspection's path.
void Start(const Strip& strip);

// The steps after each cycle, in their order (start-up registers them one by one): the record
// (`WriteRecord`), today's counts (`CountToday`), the drift watch (`WatchDrift`). Returns the
// drift.
Drift Record(const Inspection& inspection);
// The records the plant's server has not acknowledged yet, those held in memory too; -1 without
// a server.
long Waiting();
// The records the plant's server refused, set aside; 0 without a server.
long Refused();
// Closes the database (the station's shutdown), after a last try at the records held back; waits
// for the forwarder at most 3 s.
void Stop();

}  // namespace history
