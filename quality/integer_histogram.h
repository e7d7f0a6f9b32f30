// An exact count of integer readings, for the median and the upper percentile of a series too
// long to keep. The readings are differences of 0..99: those have an array slot each; any other
// value (negative, or 100 and more) is counted in an ordered map, so nothing is ever lost.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>

namespace quality {

class IntegerHistogram {
  public:
    static constexpr int DIRECT_VALUES = 100;  // 0..99 counted in the array

    void Add(int value);

    std::uint64_t Count() const { return count_; }
    // PercentileOfSorted over the counted values (percentile.h); none when empty.
    std::optional<double> Percentile(double p) const;

  private:
    // The k-th smallest value counted, from 0; k < Count().
    int OrderStatistic(std::uint64_t k) const;

    std::array<std::uint64_t, DIRECT_VALUES> direct_{};
    std::map<int, std::uint64_t> others_;
    std::uint64_t count_ = 0;
};

}  // namespace quality
