#include "quality/integer_histogram.h"

#include "quality/percentile.h"

namespace quality {

void IntegerHistogram::Add(int value) {
    if (value >= 0 && value < DIRECT_VALUES) {
        ++direct_[static_cast<std::size_t>(value)];
    } else {
        ++others_[value];
    }
    ++count_;
}

int IntegerHistogram::OrderStatistic(std::uint64_t k) const {
    // In ascending order: the negative values of the map, the array, then the map's rest.
    auto other = others_.begin();
    for (; other != others_.end() && other->first < 0; ++other) {
        if (k < other->second) {
            return other->first;
        }
        k -= other->second;
    }
    for (int value = 0; value < DIRECT_VALUES; ++value) {
        const std::uint64_t n = direct_[static_cast<std::size_t>(value)];
        if (k < n) {
            return value;
        }
        k -= n;
    }
    for (; other != others_.end(); ++other) {
        if (k < other->second) {
            return other->first;
        }
        k -= other->second;
    }
    return 0;  // not reached: k < count_
}

std::optional<double> IntegerHistogram::Percentile(double p) const {
    return InterpolatedPercentile(
        count_, p, [this](std::uint64_t k) { return static_cast<double>(OrderStatistic(k)); });
}

}  // namespace quality
