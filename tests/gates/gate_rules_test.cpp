// The gates' rules on values: the line stop's two rules, the retest limit, the shift start and
// the reference check.
#include <gtest/gtest.h>

#include <ctime>

#include "gates/gate_rules.h"

namespace {

using gates::MasterKey;
using gates::TimePoint;
using settings::ReferenceUnit;
constexpr Outcome OK = Outcome::OK;
constexpr Outcome NG = Outcome::NG;

TEST(GateRulesTest, TheLineStopsAtKInARowOrMOfTheLastN) {
    const settings::LineStopSettings on{true, 3, 3, 10};
    const struct {
        settings::LineStopSettings settings;
        std::vector<Outcome> newest_first;
        std::string rule;
    } cases[] = {
        {on, {}, ""},
        {on, {NG, NG, OK, OK}, ""},
        {on, {NG, NG, NG}, "N.G 3 회 연속"},
        {on, {NG, OK, NG, OK, OK, OK, OK, OK, OK, NG}, "최근 10 개 중 N.G 3 개"},
        {on, {NG, OK, NG, OK, OK, OK, OK, OK, OK, OK, NG}, ""},
        {{true, 2, 5, 5}, {NG, NG, OK}, "N.G 2 회 연속"},
        {{true, 9, 2, 4}, {OK, NG, NG}, "최근 3 개 중 N.G 2 개"},
        {{false, 3, 3, 10}, {NG, NG, NG, NG}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gates::LineStopRule(c.settings, c.newest_first), c.rule);
    }
}

TEST(GateRulesTest, TheRetestLimitTakesAUnitWithThatManyTestsNoneOfThemOK) {
    const struct {
        settings::RetestSettings settings;
        int tests;
        int ok;
        bool reached;
    } cases[] = {
        {{true, 3}, 2, 0, false}, {{true, 3}, 3, 0, true},   {{true, 3}, 4, 1, false},
        {{true, 1}, 1, 0, true},  {{false, 3}, 9, 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gates::RetestLimitReached(c.settings, c.tests, c.ok), c.reached) << c.tests;
    }
}

TimePoint Local(int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

TEST(GateRulesTest, TheShiftBeganAtTheLatestShiftTimeTodayOrYesterdaysLast) {
    const std::vector<int> shifts = {6 * 60, 14 * 60, 22 * 60};
    EXPECT_EQ(gates::LatestShiftStart(Local(9, 13, 59), shifts), Local(9, 6, 0));
    EXPECT_EQ(gates::LatestShiftStart(Local(9, 14, 0), shifts), Local(9, 14, 0));
    EXPECT_EQ(gates::LatestShiftStart(Local(9, 23, 0), shifts), Local(9, 22, 0));
    EXPECT_EQ(gates::LatestShiftStart(Local(9, 5, 0), shifts), Local(8, 22, 0));
}

// Each step: at a time, for a master, a reference verdict (or none: only asked what waits), and
// the serials waiting after it.
TEST(GateRulesTest, TheReferenceCheckPassesOnceEachUnitWasJudgedAsExpected) {
    const std::vector<ReferenceUnit> units = {{"R-1", OK}, {"R-2", NG}};
    const MasterKey m1{"M-01", "v1"};
    const MasterKey m1_changed{"M-01", "v2"};
    const struct Step {
        const char* what;
        TimePoint at;
        MasterKey master;
        const char* serial;  // nullptr: no verdict, only the question
        Outcome outcome;
        bool expected;
        std::vector<std::string> waiting;
    } steps[] = {
        {"shift start", Local(9, 6, 1), m1, nullptr, OK, true, {"R-1", "R-2"}},
        {"good unit", Local(9, 6, 2), m1, "R-1", OK, true, {"R-2"}},
        {"bad unit judged bad", Local(9, 6, 3), m1, "R-2", NG, true, {}},
        {"later in the shift", Local(9, 13, 0), m1, nullptr, OK, true, {}},
        {"the next shift", Local(9, 14, 1), m1, nullptr, OK, true, {"R-1", "R-2"}},
        {"good unit", Local(9, 14, 2), m1, "R-1", OK, true, {"R-2"}},
        {"bad unit judged good", Local(9, 14, 3), m1, "R-2", OK, false, {"R-1", "R-2"}},
        {"again", Local(9, 14, 4), m1, "R-1", OK, true, {"R-2"}},
        {"again", Local(9, 14, 5), m1, "R-2", NG, true, {}},
        {"the master changed", Local(9, 15, 0), m1_changed, nullptr, OK, true, {"R-1", "R-2"}},
    };
    gates::ReferenceCheck check;
    const std::vector<int> shifts = {6 * 60, 14 * 60, 22 * 60};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const TimePoint shift = gates::LatestShiftStart(step.at, shifts);
        if (step.serial != nullptr) {
            const ReferenceUnit unit = step.serial == std::string("R-1") ? units[0] : units[1];
            EXPECT_EQ(check.Judge(step.master, units, unit, step.outcome, step.at, shift),
                      step.expected);
        }
        std::vector<std::string> waiting;
        for (const ReferenceUnit& unit : check.Waiting(step.master, units, shift)) {
            waiting.push_back(unit.serial);
        }
        EXPECT_EQ(waiting, step.waiting);
        EXPECT_EQ(check.PassedAt(step.master, shift).has_value(), step.waiting.empty());
    }
    check.Override(m1_changed, Local(9, 15, 1));
    EXPECT_TRUE(check.Waiting(m1_changed, units, Local(9, 14, 0)).empty());
    EXPECT_EQ(check.PassedAt(m1_changed, Local(9, 14, 0)), Local(9, 15, 1));
}

}  // namespace
