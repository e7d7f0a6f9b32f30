// Percentiles by linear interpolation between order statistics: the definition of Excel's
// PERCENTILE.INC and R's quantile type 7 (Hyndman and Fan). For n sorted values x_0..x_(n-1)
// and a fraction p in [0, 1]: h = (n - 1) p, k = floor(h), P = x_k + (h - k)(x_(k+1) - x_k);
// p = 0 gives the minimum, p = 1 the maximum, p = 0.5 the median.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

namespace quality {

constexpr double MEDIAN = 0.5;
constexpr double UPPER_PERCENTILE = 0.99865;  // X99.865: the mean plus 3 sigma of a normal law

// The percentile of n values whose k-th smallest (from 0) is order_statistic(k); none of no
// values. p outside [0, 1] is clamped.
template <typename OrderStatistic>
std::optional<double> InterpolatedPercentile(std::uint64_t n, double p,
                                             OrderStatistic order_statistic) {
    if (n == 0) {
        return std::nullopt;
    }
    const double h = static_cast<double>(n - 1) * std::fmin(std::fmax(p, 0.0), 1.0);
    const auto k = static_cast<std::uint64_t>(std::floor(h));
    const double lower = order_statistic(k);
    if (k + 1 >= n) {
        return lower;
    }
    return lower + (h - static_cast<double>(k)) * (order_statistic(k + 1) - lower);
}

// The percentile of values sorted in ascending order.
std::optional<double> PercentileOfSorted(std::span<const double> sorted, double p);

}  // namespace quality
