// The shift a moment falls in, the period a report is asked for, and the wall-clock seconds.
#include <gtest/gtest.h>

#include "history/process_query.h"
#include "history/production.h"
#include "process/report_period.h"

namespace {

TEST(PeriodTest, TheShiftOfAMoment) {
    const struct {
        int month, day, minute;
        const char* from_at;
        const char* to_at;
    } cases[] = {
        {12, 9, 6 * 60, "2026-12-09T06:00:00", "2026-12-09T14:00:00"},
        {12, 9, 13 * 60 + 59, "2026-12-09T06:00:00", "2026-12-09T14:00:00"},
        {12, 9, 14 * 60, "2026-12-09T14:00:00", "2026-12-09T22:00:00"},
        {12, 9, 22 * 60, "2026-12-09T22:00:00", "2026-12-10T06:00:00"},
        {12, 9, 23 * 60 + 59, "2026-12-09T22:00:00", "2026-12-10T06:00:00"},
        {12, 9, 0, "2026-12-08T22:00:00", "2026-12-09T06:00:00"},
        {12, 9, 5 * 60 + 59, "2026-12-08T22:00:00", "2026-12-09T06:00:00"},
        {12, 1, 3 * 60, "2026-11-30T22:00:00", "2026-12-01T06:00:00"},
        {12, 31, 23 * 60, "2026-12-31T22:00:00", "2027-01-01T06:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.day) + " " + std::to_string(c.minute));
        const history::Period shift = history::ShiftAt(2026, c.month, c.day, c.minute);
        EXPECT_EQ(shift.from_at, c.from_at);
        EXPECT_EQ(shift.to_at, c.to_at);
    }
}

TEST(PeriodTest, TheReportsPeriodFromTheCommandLine) {
    const struct {
        const char* from;
        const char* to;
        const char* from_at;  // nullptr: refused
        const char* to_at;
    } cases[] = {
        {"", "", "2026-12-09T06:00:00", "2026-12-09T14:00:00"},
        {"2026-12-01", "2026-12-09", "2026-12-01T00:00:00", "2026-12-10T00:00:00"},
        {"2026-12-09", "2026-12-09", "2026-12-09T00:00:00", "2026-12-10T00:00:00"},
        {"2026-12-09 06:00", "2026-12-09 14:00", "2026-12-09T06:00:00", "2026-12-09T14:00:00"},
        {"2026-12-09T22:00", "2026-12-10T06:00:30", "2026-12-09T22:00:00", "2026-12-10T06:00:30"},
        {"2026-12-09", "", nullptr, nullptr},
        {"2026-12-10", "2026-12-09", nullptr, nullptr},
        {"2026-12-09 14:00", "2026-12-09 14:00", nullptr, nullptr},
        {"yesterday", "2026-12-09", nullptr, nullptr},
        {"2026-02-30", "2026-03-01", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " / " + c.to);
        history::Filter filter;
        std::string error;
        const bool ok = process::ReportPeriod(c.from, c.to, 2026, 12, 9, 10 * 60, &filter, &error);
        EXPECT_EQ(ok, c.from_at != nullptr) << error;
        if (ok) {
            EXPECT_EQ(filter.from_at, c.from_at);
            EXPECT_EQ(filter.to_at, c.to_at);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(PeriodTest, WallClockSeconds) {
    const struct {
        const char* text;
        long long seconds;
    } cases[] = {
        {"1970-01-01T00:00:00", 0},
        {"2026-12-09T14:03:05.120+09:00", 1796824985},
        {"2024-02-29T23:59:59", 1709251199},
        {"2026-13-01T00:00:00", -1},
        {"2026-12-09", -1},
        {"", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(history::SecondsOfWallClock(c.text), c.seconds);
    }
    EXPECT_EQ(history::WallClockText(1796824985, "%Y-%m-%d %H:%M:%S"), "2026-12-09 14:03:05");
}

}  // namespace
