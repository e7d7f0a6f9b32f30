#include "history/wave_drift.h"

#include "quality/running_stats.h"
#include "wave/judgement.h"

namespace history {

namespace {

quality::ControlLimits LimitsOf(const std::vector<double>& baseline) {
    quality::RunningStats stats;
    for (const double value : baseline) {
        stats.Add(value);
    }
    return quality::ComputeLimits(stats);
}

}  // namespace

bool WaveDrift::Feature::Watch(double value) {
    if (!limits.Available() || !(limits.sigma > 0)) {
        return false;
    }
    wave::Ewma ewma(average);
    const bool beyond = ewma.Add((value - limits.centre) / limits.sigma);
    average = ewma.Value();
    return beyond;
}

bool WaveDrift::Feature::Add(double value) {
    if (baseline.size() < static_cast<std::size_t>(quality::DEFAULT_BASELINE_POINTS)) {
        baseline.push_back(value);
        limits = LimitsOf(baseline);
    }
    return Watch(value);
}

void WaveDrift::Load(std::span<const double> baseline_frequency,
                     std::span<const double> baseline_damping,
                     std::span<const double> recent_frequency,
                     std::span<const double> recent_damping, Drift* drift) {
    frequency_ = {};
    damping_ = {};
    frequency_.baseline.assign(baseline_frequency.begin(), baseline_frequency.end());
    damping_.baseline.assign(baseline_damping.begin(), baseline_damping.end());
    frequency_.limits = LimitsOf(frequency_.baseline);
    damping_.limits = LimitsOf(damping_.baseline);
    for (std::size_t i = 0; i < recent_frequency.size() && i < recent_damping.size(); ++i) {
        drift->frequency = frequency_.Watch(recent_frequency[i]);
        drift->damping = damping_.Watch(recent_damping[i]);
    }
}

void WaveDrift::Add(const WaveOpinion& wave, Drift* drift) {
    if (!wave.ringing_frequency || !wave.damping) {
        return;
    }
    drift->frequency = frequency_.Add(*wave.ringing_frequency);
    drift->damping = damping_.Add(*wave.damping);
}

void WaveDrift::Restart() {
    frequency_.average = 0.0;
    damping_.average = 0.0;
}

}  // namespace history
