// What follows each finished inspection: the steps start-up registered, run in their order, each
// given the inspection and what the steps before it found.
#pragma once

#include <vector>

#include "history/drift.h"
#include "values/inspection.h"
#include "values/wave_opinion.h"

namespace after_cycle {

// What a step found that a later one takes.
struct Findings {
    WaveOpinion wave;       // the station's own judgement of the measured wave
    bool recorded = false;  // the record is in the station's file, for the drift watch to read
    history::Drift drift;   // the drift watch's signal for the inspection's master
};

using Step = void (*)(const Inspection& inspection, Findings* findings);

// The steps from now on, in the order they run (replacing those registered before).
void Register(std::vector<Step> steps);
// Runs every step for `inspection`.
void Run(const Inspection& inspection);

}  // namespace after_cycle
