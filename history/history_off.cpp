#include "history/history_off.h"

#include <cstdlib>
#include <cstring>

namespace history {

bool HistoryOff() {
    const char* setting = std::getenv("SURGE_HISTORY");
    return setting != nullptr && std::strcmp(setting, "off") == 0;
}

}  // namespace history
