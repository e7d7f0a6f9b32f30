// The drift watch's eye on the wave, with [drift] wave: the EWMA of the frequency and of the
// damping (wave::Ewma of wave/judgement.h: lambda 0.2, L 3.3, on z = (x - CL) / sigma) against the
// limits of the master version's first fitted production tests, as the I-MR limits of area and
// phase are taken from its first tests, so that the alarm trips where the chart panel's EWMA, on
// the same baseline, crosses its limit. The average begins at 0 after a drift stop is acknowledged;
// at a master's first test it is replayed over the newest REPLAY fitted tests since then, whose
// weight 0.8^50 (1e-5) leaves nothing of what came before.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "history/drift.h"
#include "quality/control_limits.h"
#include "values/wave_opinion.h"

namespace history {

class WaveDrift {
  public:
    static constexpr int REPLAY = 50;

    // The version's first fitted tests (frequency and damping, in time order), then the newest
    // since the last acknowledged stop, oldest first; the last of those is the cycle just recorded.
    void Load(std::span<const double> baseline_frequency, std::span<const double> baseline_damping,
              std::span<const double> recent_frequency, std::span<const double> recent_damping,
              Drift* drift);
    // The cycle just recorded; a wave that was not fitted changes nothing.
    void Add(const WaveOpinion& wave, Drift* drift);
    // The averages begin anew at 0; the limits stay.
    void Restart();

  private:
    struct Feature {
        std::vector<double> baseline;
        quality::ControlLimits limits;
        double average = 0.0;  // the EWMA's e (wave::Ewma), kept here

        // True when `value` takes the average beyond its limit; without limits or spread, never.
        bool Watch(double value);
        bool Add(double value);  // grows the baseline to its 25 tests first
    };

    Feature frequency_;
    Feature damping_;
};

}  // namespace history
