#include <ctime>

#include "log/log_line.h"

bool surge_log::LocalTime(std::time_t time, std::tm* local) {
    return localtime_r(&time, local) != nullptr;
}
