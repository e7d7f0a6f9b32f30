#include "quality/running_stats.h"

#include <cmath>

namespace quality {

void RunningStats::Add(double value) {
    if (count_ > 0) {
        moving_range_sum_ += std::fabs(value - previous_);
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
    return count_ < 2 ? 0.0 : moving_range_sum_ / static_cast<double>(count_ - 1);
}

}  // namespace quality
