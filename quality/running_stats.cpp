#include "quality/running_stats.h"

#include <cmath>

#include "quality/moving_range.h"

namespace quality {

void RunningStats::Add(int value) {
    if (count_ > 0) {
        moving_range_sum_ += MovingRange(previous_, value);
    }
    previous_ = value;
    ++count_;
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (value - mean_);
}

double RunningStats::SampleVariance() const {
    return count_ < 2 ? 0.0 : m2_ / static_cast<double>(count_ - 1);
}

double RunningStats::SampleStdDev() const {
    return std::sqrt(SampleVariance());
}

double RunningStats::MeanMovingRange() const {
    return count_ < 2 ? 0.0
                      : static_cast<double>(moving_range_sum_) / static_cast<double>(count_ - 1);
}

}  // namespace quality
