// What the log keeps between writes; log.cpp owns it, the test seams reach it.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

namespace surge_log {

struct LogState {
    std::mutex mutex;
    std::optional<bool> off;  // SURGE_LOG=off, read at the first write
    std::optional<std::chrono::steady_clock::time_point> paused_until;
    std::chrono::steady_clock::duration clock_shift{};  // moved on by the tests
    std::string program;
    bool program_written = false;
};

LogState& State();

}  // namespace surge_log
