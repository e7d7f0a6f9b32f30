#include "quality/moving_range.h"

namespace quality {

std::vector<std::uint64_t> MovingRanges(std::span<const int> values) {
    std::vector<std::uint64_t> ranges;
    for (std::size_t i = 1; i < values.size(); ++i) {
        ranges.push_back(MovingRange(values[i - 1], values[i]));
    }
    return ranges;
}

}  // namespace quality
