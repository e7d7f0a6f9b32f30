// Moving ranges of individual readings: MR_i = |x_i - x_(i-1)| for i >= 2, the points of the
// MR chart. Computed in 64 bits, so any two int readings give an exact range.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quality {

constexpr std::uint64_t MovingRange(int previous, int value) {
    const std::int64_t difference = static_cast<std::int64_t>(value) - previous;
    return static_cast<std::uint64_t>(difference < 0 ? -difference : difference);
}

// One range per value after the first: n values give n - 1 ranges (none below two).
std::vector<std::uint64_t> MovingRanges(std::span<const int> values);

}  // namespace quality
