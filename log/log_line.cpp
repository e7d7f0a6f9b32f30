#include "log/log_line.h"

#include <cstdio>
#include <cstdlib>

namespace surge_log {

namespace {

// The offset from UTC that `local` shows for the instant `time`, in seconds.
long long UtcOffset(const std::tm& local, std::time_t time) {
    using namespace std::chrono;
    const sys_days day = year(local.tm_year + 1900) / month(local.tm_mon + 1) / local.tm_mday;
    const long long as_utc = day.time_since_epoch() / seconds(1) + local.tm_hour * 3600LL +
                             local.tm_min * 60LL + local.tm_sec;
    return as_utc - static_cast<long long>(time);
}

void AppendOneLine(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out += " / ";
        } else {
            out += text[i];
        }
    }
}

}  // namespace

std::string Line(std::chrono::system_clock::time_point time, std::string_view category,
                 std::string_view text) {
    using namespace std::chrono;
    const auto since_epoch = time.time_since_epoch();
    const auto whole = floor<seconds>(since_epoch);
    const auto milliseconds = duration_cast<std::chrono::milliseconds>(since_epoch - whole);
    const auto t = static_cast<std::time_t>(whole.count());
    std::tm local{};
    long long offset = 0;
    if (LocalTime(t, &local)) {
        offset = UtcOffset(local, t);
    } else {
        const sys_days day = floor<days>(sys_seconds(whole));
        const year_month_day date(day);
        const hh_mm_ss clock(sys_seconds(whole) - day);
        local.tm_year = static_cast<int>(date.year()) - 1900;
        local.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
        local.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
        local.tm_hour = static_cast<int>(clock.hours().count());
        local.tm_min = static_cast<int>(clock.minutes().count());
        local.tm_sec = static_cast<int>(clock.seconds().count());
    }
    const long long minutes = std::llabs(offset) / 60;
    char stamp[128];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02lld:%02lld ",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>(milliseconds.count()),
                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    std::string line = stamp;
    AppendOneLine(line, category);
    line += ' ';
    AppendOneLine(line, text);
    line += '\n';
    return line;
}

}  // namespace surge_log
