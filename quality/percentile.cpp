#include "quality/percentile.h"

namespace quality {

std::optional<double> PercentileOfSorted(std::span<const double> sorted, double p) {
    return InterpolatedPercentile(sorted.size(), p,
                                  [sorted](std::uint64_t k) { return sorted[k]; });
}

}  // namespace quality
