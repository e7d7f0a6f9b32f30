// What the parts of the inspection history share: its file, a wave, a count of cycles.
#pragma once

#include <array>

namespace history {

constexpr const char* DATABASE_FILE = "inspection_history.db";

constexpr int WAVE_BYTES = 300;
using Wave = std::array<signed char, WAVE_BYTES>;

struct Counts {
    long long tested = 0;  // cycles with a verdict
    long long ok = 0;
    long long ng = 0;
};

}  // namespace history
