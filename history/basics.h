// What the parts of the inspection history share: a count of cycles.
#pragma once

namespace history {

struct Counts {
    long long tested = 0;  // cycles with a verdict
    long long ok = 0;
    long long ng = 0;
};

}  // namespace history
