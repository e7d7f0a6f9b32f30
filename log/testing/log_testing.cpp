#include "log/log_testing.h"

#include "log/log_state.h"

namespace surge_log_testing {

void Reset() {
    surge_log::LogState& s = surge_log::State();
    const std::lock_guard lock(s.mutex);
    s.off.reset();
    s.paused_until.reset();
    s.program_written = false;
}

void PassTime(std::chrono::seconds duration) {
    surge_log::LogState& s = surge_log::State();
    const std::lock_guard lock(s.mutex);
    s.clock_shift += duration;
}

}  // namespace surge_log_testing
