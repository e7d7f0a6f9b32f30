// The station's log for support: "station.log" in the working directory, one line per event,
//
//   2026-12-09T10:15:02.123+09:00 serial port 1: COM1 (/dev/ttyS0) opened
//
// the local time (ISO 8601, milliseconds and the offset from UTC), one category word, then the
// text on one line (each line break in it becomes " / "). A file that reaches 1 MiB is moved
// aside: station.log becomes station.log.1, station.log.1 becomes station.log.2 and so on up to
// station.log.4; the oldest is dropped. SURGE_LOG=off turns the log off: nothing is created.
//
// Callers pass texts that are ready to be read, and never a secret: no password, no setting or
// connection string that may hold one.
//
// Any thread may write. Writing never throws and never waits on a failing disk: a write that
// fails (a full disk, a folder that cannot be written) stops the log quietly for a minute, after
// which the next write tries again. Plain C++, for the Windows core as well.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace surge_log {

constexpr const char* LOG_FILE = "station.log";
constexpr std::uintmax_t MAX_FILE_BYTES = 1 << 20;
constexpr int OLD_FILES = 4;  // station.log.1 (the newest) to station.log.4
constexpr std::chrono::seconds RETRY_AFTER{60};

// Appends one line. `category` is one short word: "start", "stop", "warning", "serial", "store",
// "feed" ...
void Write(std::string_view category, std::string_view text) noexcept;

// Names the program for the line "log PROGRAM" that comes before a process's first line, e.g.
// "surge 1.0.0 (abc1234)". The packaged programs are named at build time (cmake/version.cmake).
void SetProgram(std::string_view program) noexcept;

}  // namespace surge_log
