// Everything the charts and the capability indices need from a series, fed one reading at a
// time in time order and held in constant memory: a year of records (a million readings) is
// read once, never kept.
#pragma once

#include "quality/integer_histogram.h"
#include "quality/running_stats.h"

namespace quality {

class Accumulator {
  public:
    void Add(int value) {
        stats_.Add(value);
        histogram_.Add(value);
    }

    std::uint64_t Count() const { return stats_.Count(); }
    const RunningStats& Stats() const { return stats_; }
    const IntegerHistogram& Histogram() const { return histogram_; }

  private:
    RunningStats stats_;
    IntegerHistogram histogram_;
};

}  // namespace quality
