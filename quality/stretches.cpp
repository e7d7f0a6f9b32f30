#include "quality/stretches.h"

namespace quality {

std::vector<Stretch> SplitByUsl(std::span<const UslReading> readings) {
    std::vector<Stretch> stretches;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (stretches.empty() || stretches.back().usl != readings[i].usl) {
            stretches.push_back({i, i, readings[i].usl});
        }
        stretches.back().end = i + 1;
    }
    return stretches;
}

}  // namespace quality
