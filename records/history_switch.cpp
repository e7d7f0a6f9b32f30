#include "records/history_switch.h"

#include <cstdlib>
#include <cstring>

namespace records {

bool HistoryOff() {
    const char* setting = std::getenv("SURGE_HISTORY");
    return setting != nullptr && std::strcmp(setting, "off") == 0;
}

}  // namespace records
