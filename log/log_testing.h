// Seams for the log's tests; built into surge_log_testing, which the programs do not link.
#pragma once

#include <chrono>

namespace surge_log_testing {

// Forgets what the log knows: SURGE_LOG is read again, a pause ends, and the program's line is
// written again before the next line.
void Reset();

// Moves the log's clock on, as if `duration` had passed.
void PassTime(std::chrono::seconds duration);

}  // namespace surge_log_testing
