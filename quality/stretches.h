// A series split where its upper limit changes (a master's judgement setting was changed), so
// that a chart draws each stretch's limit line at its own height and the capability of each
// stretch is judged against its own USL.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace quality {

struct UslReading {
    int value = 0;
    int usl = 0;
};

struct Stretch {
    std::size_t begin = 0;  // first reading
    std::size_t end = 0;    // one past the last
    int usl = 0;

    friend bool operator==(const Stretch&, const Stretch&) = default;
};

// The maximal runs of consecutive readings with equal USL, in time order.
std::vector<Stretch> SplitByUsl(std::span<const UslReading> readings);

}  // namespace quality
