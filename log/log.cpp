#include "log/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/log_line.h"
#include "log/log_state.h"

namespace surge_log {

namespace {

std::string OldFile(int number) {
    return std::string(LOG_FILE) + "." + std::to_string(number);
}

// station.log.3 to .4, ... station.log to .1; each target was freed by the step before it, so a
// rename never has to replace a file (it cannot on Windows).
bool MoveAside() {
    std::remove(OldFile(OLD_FILES).c_str());
    for (int number = OLD_FILES - 1; number >= 1; --number) {
        std::rename(OldFile(number).c_str(), OldFile(number + 1).c_str());
    }
    return std::rename(LOG_FILE, OldFile(1).c_str()) == 0;
}

bool Append(const std::string& lines) {
    std::FILE* file = std::fopen(LOG_FILE, "ab");
    if (file == nullptr) {
        return false;
    }
    const bool sized = std::fseek(file, 0, SEEK_END) == 0;
    const long size = sized ? std::ftell(file) : -1;
    if (size < 0) {
        std::fclose(file);
        return false;
    }
    if (size > 0 && static_cast<std::uintmax_t>(size) + lines.size() > MAX_FILE_BYTES) {
        std::fclose(file);
        if (!MoveAside() || (file = std::fopen(LOG_FILE, "ab")) == nullptr) {
            return false;
        }
    }
    const bool written = std::fwrite(lines.data(), 1, lines.size(), file) == lines.size();
    return std::fclose(file) == 0 && written;
}

bool TurnedOff() {
    const char* setting = std::getenv("SURGE_LOG");
    return setting != nullptr && std::strcmp(setting, "off") == 0;
}

}  // namespace

LogState& State() {
    // Never destroyed: a line written while the program's statics go down still finds it.
    static LogState* state = new LogState;
    return *state;
}

void Write(std::string_view category, std::string_view text) noexcept {
    try {
        LogState& s = State();
        const std::lock_guard lock(s.mutex);
        if (!s.off) {
            s.off = TurnedOff();
        }
        const auto now = std::chrono::steady_clock::now() + s.clock_shift;
        if (*s.off || (s.paused_until && now < *s.paused_until)) {
            return;
        }
        const auto time = std::chrono::system_clock::now();
        std::string lines;
        if (!s.program_written && !s.program.empty()) {
            lines = Line(time, "log", s.program);
        }
        lines += Line(time, category, text);
        if (!Append(lines)) {
            s.paused_until = now + RETRY_AFTER;
            return;
        }
        s.paused_until.reset();
        s.program_written = true;
    } catch (...) {
        // A log that cannot write loses the line; the caller goes on.
    }
}

void SetProgram(std::string_view program) noexcept {
    try {
        LogState& s = State();
        const std::lock_guard lock(s.mutex);
        s.program = program;
    } catch (...) {
    }
}

}  // namespace surge_log
