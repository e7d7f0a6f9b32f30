// The station's own judgement of each measured wave, beside the tester's verdict and never instead
// of it: the wave's features on every record, and once the master version has a reference learned
// from its first production units that the tester passed, whether the wave is outside that
// reference's limits, shown in amber beside the lamps. The verdict, the lamps and the export stay
// the tester's.
#pragma once

#include <array>

#include "values/inspection.h"
#include "values/wave_opinion.h"

namespace history {
struct Filter;
}  // namespace history

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
// The history panel's "기준 학습": the filter's master's newest version learns its reference from
// the records the filter lists that the tester passed, are production units and carry a measured
// wave of that version (10 to 1000), on an engineer's approval with a reason; it takes the place
// of the version's reference at once and at every start, an audit row.
void LearnNamed(const history::Filter& filter);

// The learned band of the master version of the unit last judged (whose waves the main graph
// shows): per sample the learned mean less and plus the envelope's limit; false when the version
// has no learned reference.
using Band = std::array<double, WAVE_SAMPLES>;
bool ShownBand(Band* lower, Band* upper);

}  // namespace wave_check
