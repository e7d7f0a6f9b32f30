#include "quality/control_limits.h"

namespace quality {

ControlLimits ComputeLimits(const RunningStats& baseline) {
    ControlLimits limits;
    limits.count = baseline.Count();
    if (baseline.Count() < 2) {
        return limits;
    }
    limits.status = LimitsStatus::AVAILABLE;
    limits.centre = baseline.Mean();
    limits.mr_centre = baseline.MeanMovingRange();
    limits.sigma = SigmaWithin(limits.mr_centre);
    limits.ucl = limits.centre + 3.0 * limits.sigma;
    limits.lcl = limits.centre - 3.0 * limits.sigma;
    limits.mr_ucl = D4 * limits.mr_centre;
    return limits;
}

ControlLimits ComputeLimits(std::span<const int> baseline) {
    RunningStats stats;
    for (const int value : baseline) {
        stats.Add(value);
    }
    return ComputeLimits(stats);
}

}  // namespace quality
