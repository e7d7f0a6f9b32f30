#include "quality/capability.h"

#include "quality/control_limits.h"
#include "quality/percentile.h"

namespace quality {

namespace {

CapabilityIndex Ratio(std::uint64_t count, std::uint64_t needed, double numerator,
                      double denominator) {
    if (count < needed) {
        return {IndexStatus::TOO_FEW_RECORDS, 0.0, count};
    }
    if (!(denominator > 0.0)) {
        return {IndexStatus::NOT_COMPUTABLE, 0.0, count};
    }
    return {IndexStatus::COMPUTED, numerator / denominator, count};
}

}  // namespace

Capability ComputeCapability(const Accumulator& records, int usl) {
    const RunningStats& stats = records.Stats();
    const std::uint64_t n = records.Count();
    const double above_mean = usl - stats.Mean();
    Capability capability;
    capability.cpk =
        Ratio(n, MIN_SIGMA_RECORDS, above_mean, 3.0 * SigmaWithin(stats.MeanMovingRange()));
    capability.ppk = Ratio(n, MIN_SIGMA_RECORDS, above_mean, 3.0 * stats.SampleStdDev());
    const double median = records.Histogram().Percentile(MEDIAN).value_or(0.0);
    const double upper = records.Histogram().Percentile(UPPER_PERCENTILE).value_or(0.0);
    capability.percentile_index = Ratio(n, MIN_PERCENTILE_RECORDS, usl - median, upper - median);
    return capability;
}

}  // namespace quality
