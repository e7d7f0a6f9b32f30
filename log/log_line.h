// One line of the log, as Write appends it.
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

namespace surge_log {

// "TIME CATEGORY TEXT\n": the time in the local time zone, with milliseconds and the offset.
std::string Line(std::chrono::system_clock::time_point time, std::string_view category,
                 std::string_view text);

// The local calendar time of `time`; false where the system has none for it.
bool LocalTime(std::time_t time, std::tm* local);

}  // namespace surge_log
