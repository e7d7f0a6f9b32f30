// The station's own judgement of each measured wave, beside the tester's verdict and never instead
// of it: the wave's features on every record, and once the master version has a reference learned
// from its first production units that the tester passed, whether the wave is outside that
// reference's limits, shown in amber beside the lamps. The verdict, the lamps and the export stay
// the tester's.
#pragma once

#include "values/inspection.h"
#include "values/wave_opinion.h"

namespace wave_check {

// The main panel's control the judgement is shown on.
struct Display {
    int panel = 0;
    int alarm = 0;
};

void Start(const Display& display);
// Before the record: `inspection`'s measured wave judged into `opinion`, and shown.
void Judge(const Inspection& inspection, WaveOpinion* opinion);
// After the record: a master version whose passed production units reach "[wave] learn_units"
// gets its reference learned from the first of them, an audit row.
void Learn(const Inspection& inspection);

}  // namespace wave_check
