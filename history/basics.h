// What the parts of the inspection history share: a count of cycles.
#pragma once

namespace history {

// Over production records (history/counts.h).
struct Counts {
    long long tested = 0;  // cycles with a verdict
    long long ok = 0;
    long long ng = 0;
    long long first = 0;     // units whose first attempt this is
    long long first_ok = 0;  // those of them that passed it
};

// The units tested in a period (history/counts.h).
struct UnitCounts {
    long long units = 0;
    long long final_ok = 0;          // whose last test in the period was O.K
    long long passed_on_retest = 0;  // with an N.G test followed by an O.K one
};

}  // namespace history
