// Mean, sample variance and mean moving range of a series, fed one value at a time in time order,
// in constant memory.
#pragma once

#include <cstdint>

namespace quality {

// Welford's update keeps the mean and the sum of squared deviations M2 without the loss of
// precision of a sum of squares: with d = x - mean, mean += d / n, M2 += d * (x - mean).
// The sample variance is M2 / (n - 1). The moving ranges |x_i - x_(i-1)| are summed in double,
// exactly for integer readings (any two ints differ by less than 2^32, and a sum stays exact
// below 2^53), so integer and real readings take the same path.
class RunningStats {
  public:
    void Add(double value);

    std::uint64_t Count() const { return count_; }
    double Mean() const { return mean_; }  // 0 before the first value
    double SampleVariance() const;         // 0 below two values
    double SampleStdDev() const;
    double MeanMovingRange() const;  // MRbar; 0 below two values

  private:
    std::uint64_t count_ = 0;
    double mean_ = 0.0;
    double m2_ = 0.0;
    double previous_ = 0.0;
    double moving_range_sum_ = 0.0;
};

}  // namespace quality
