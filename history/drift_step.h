// The drift watch after each cycle: the run rules on the newest readings of the master just
// recorded, its signal shown on the strip and passed on to the gates.
#pragma once

#include "history/drift.h"
#include "history/strip.h"
#include "values/inspection.h"
#include "values/wave_opinion.h"

namespace history {

// The watch begins anew, its signals shown on `strip`.
void StartDriftWatch(const Strip& strip);
// The step after each cycle: the drift the cycle signalled for its master, shown on the strip;
// none where the record was not written.
Drift WatchDrift(const Inspection& inspection, bool recorded);
// The same, and with [drift] wave the EWMA of the wave's frequency and damping, from `wave`, the
// opinion recorded with the inspection.
Drift WatchDrift(const Inspection& inspection, const WaveOpinion& wave, bool recorded);
// The run rules begin anew with the next cycle: a drift's line stop was acknowledged, and the
// readings before it are the reaction's past.
void RestartDrift();

}  // namespace history
