// The process-control statistics against hand-computed tables and generated series whose answers
// are known in closed form.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quality/accumulator.h"
#include "quality/capability.h"
#include "quality/control_limits.h"
#include "quality/drift.h"
#include "quality/integer_histogram.h"
#include "quality/moving_range.h"
#include "quality/percentile.h"
#include "quality/run_rules.h"
#include "quality/stretches.h"

namespace {

using namespace quality;

constexpr double TOLERANCE = 1e-6;
constexpr unsigned R1 = 1, R2 = 2, R3 = 4, R4 = 8;  // RuleSet bits of rules 1..4

std::vector<int> Runs(std::initializer_list<std::pair<int, int>> value_and_repeat) {
    std::vector<int> values;
    for (const auto& [value, repeat] : value_and_repeat) {
        values.insert(values.end(), static_cast<std::size_t>(repeat), value);
    }
    return values;
}

std::vector<int> Ramp(int first, int count, int step = 1) {
    std::vector<int> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(first + i * step);
    }
    return values;
}

Accumulator Accumulate(const std::vector<int>& values) {
    Accumulator accumulator;
    for (const int value : values) {
        accumulator.Add(value);
    }
    return accumulator;
}

TEST(StatisticsMovingRange, RangesOfConsecutiveReadings) {
    const struct {
        std::vector<int> values;
        std::vector<std::uint64_t> ranges;
    } cases[] = {
        {{}, {}},
        {{5}, {}},
        {{3, 7, 2, 2}, {4, 5, 0}},
        {{-2, 3}, {5}},
        {{INT_MIN, INT_MAX}, {4294967295u}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MovingRanges(c.values), c.ranges) << c.values.size();
    }
}

TEST(ControlLimits, FromABaseline) {
    const struct {
        std::vector<int> baseline;
        bool available;
        double centre, mr_centre, sigma, ucl, lcl, mr_ucl;
    } cases[] = {
        {{}, false, 0, 0, 0, 0, 0, 0},
        {{7}, false, 0, 0, 0, 0, 0, 0},
        {{5, 5}, true, 5, 0, 0, 5, 5, 0},
        {{10, 12, 11, 13, 9}, true, 11, 2.25, 1.9946808511, 16.9840425532, 5.0159574468, 7.35075},
        {{0, 3}, true, 1.5, 3, 2.6595744681, 9.4787234043, -6.4787234043, 9.801},
    };
    for (const auto& c : cases) {
        const ControlLimits limits = ComputeLimits(c.baseline);
        SCOPED_TRACE(testing::PrintToString(c.baseline));
        EXPECT_EQ(limits.Available(), c.available);
        EXPECT_EQ(limits.count, c.baseline.size());
        EXPECT_NEAR(limits.centre, c.centre, TOLERANCE);
        EXPECT_NEAR(limits.mr_centre, c.mr_centre, TOLERANCE);
        EXPECT_NEAR(limits.sigma, c.sigma, TOLERANCE);
        EXPECT_NEAR(limits.ucl, c.ucl, TOLERANCE);
        EXPECT_NEAR(limits.lcl, c.lcl, TOLERANCE);
        EXPECT_NEAR(limits.mr_ucl, c.mr_ucl, TOLERANCE);
        EXPECT_EQ(limits.mr_lcl, 0.0);
    }
}

// Both paths: the sorted values, and a histogram fed them in reverse.
TEST(Percentile, InterpolatesBetweenOrderStatistics) {
    const struct {
        std::vector<int> sorted;
        double p;
        std::optional<double> percentile;
    } cases[] = {
        {{}, 0.5, std::nullopt},
        {{7}, UPPER_PERCENTILE, 7},
        {{1, 2, 3, 4}, MEDIAN, 2.5},
        {{1, 2, 3, 4}, 0.25, 1.75},
        {{1, 2, 3, 4}, 0, 1},
        {{1, 2, 3, 4}, 1, 4},
        {{15, 20, 35, 40, 50}, 0.4, 29},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, UPPER_PERCENTILE, 9.98785},
        {{3, 3, 3, 9}, UPPER_PERCENTILE, 8.9757},
        {{-5, 0, 99, 100, 250}, 0.1, -3},
        {{-5, 0, 99, 100, 250}, 0.3, 19.8},
        {{-5, 0, 99, 100, 250}, MEDIAN, 99},
        {{-5, 0, 99, 100, 250}, 0.7, 99.8},
        {{-5, 0, 99, 100, 250}, 0.9, 190},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.sorted) + " p " + std::to_string(c.p));
        const std::vector<double> sorted(c.sorted.begin(), c.sorted.end());
        IntegerHistogram histogram;
        for (auto value = c.sorted.rbegin(); value != c.sorted.rend(); ++value) {
            histogram.Add(*value);
        }
        for (const std::optional<double> got :
             {PercentileOfSorted(sorted, c.p), histogram.Percentile(c.p)}) {
            ASSERT_EQ(got.has_value(), c.percentile.has_value());
            if (got) {
                EXPECT_NEAR(*got, *c.percentile, TOLERANCE);
            }
        }
    }
}

TEST(RunRule, MarksThePointThatCompletesARule) {
    // Centre 10, sigma 2: the 1, 2 and 3 sigma boundaries at 12/8, 14/6, 16/4.
    const struct {
        double centre, sigma;
        std::vector<double> points;
        unsigned newest_breaks;
    } cases[] = {
        {10, 2, {16.5}, R1},
        {10, 2, {16}, 0},
        {10, 2, {3.5}, R1},
        {10, 2, {4}, 0},
        {10, 2, {14.5, 11, 14.5}, R2},
        {10, 2, {5, 11, 5}, R2},
        {10, 2, {14.5, 11, 11, 14.5}, 0},
        {10, 2, {14.5, 14}, 0},
        {10, 2, {14.5, 5.5}, 0},
        {10, 2, {14.5, 14.5, 11}, 0},
        {10, 2, {13, 13, 11, 13, 13}, R3},
        {10, 2, {7, 7, 9, 7, 7}, R3},
        {10, 2, {13, 11, 11, 13, 13, 13}, 0},
        {10, 2, {13, 13, 11, 13, 12}, 0},
        {10, 2, {11, 11, 11, 11, 11, 11, 11, 11}, R4},
        {10, 2, {9, 9, 9, 9, 9, 9, 9, 9}, R4},
        {10, 2, {11, 11, 11, 11, 11, 11, 11}, 0},
        {10, 2, {11, 11, 11, 10, 11, 11, 11, 11}, 0},
        {10, 2, {9, 11, 11, 11, 11, 11, 11, 11}, 0},
        {10, 2, {16.5, 16.5}, R1 | R2},
        {10, 2, {11, 11, 11, 11, 13, 13, 15, 17}, R1 | R2 | R3 | R4},
        {7, 0, {7}, 0},
        {7, 0, {8}, R1},
        {7, 0, {6.5}, R1},
        {7, 0, {8, 8, 8, 8, 8, 8, 8, 8}, R1},
    };
    for (const auto& c : cases) {
        RunRuleChecker checker(c.centre, c.sigma);
        RuleSet newest;
        for (const double point : c.points) {
            newest = checker.Add(point);
        }
        EXPECT_EQ(newest.Bits(), c.newest_breaks)
            << testing::PrintToString(c.points) << " sigma " << c.sigma;
    }
}

// Each rule breaks first at a known point (from 1; 0: never) and at every point after it.
void ExpectFirstBreaks(RunRuleChecker checker, const std::vector<int>& points,
                       const std::array<int, 4>& first) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        const RuleSet breaks = checker.Add(points[i]);
        for (unsigned rule = 1; rule <= 4; ++rule) {
            const int from = first[rule - 1];
            EXPECT_EQ(breaks.Has(static_cast<Rule>(rule)),
                      from != 0 && i + 1 >= static_cast<std::size_t>(from))
                << "rule " << rule << " at point " << i + 1 << " of " << points[0];
        }
    }
}

TEST(RunRule, RampBreaksEachRuleAtItsBoundary) {
    // Centre 0, sigma 10: 10, 20 and 30 lie on their boundaries and are not beyond them.
    ExpectFirstBreaks(RunRuleChecker(0, 10), Ramp(1, 40), {31, 22, 14, 8});
    ExpectFirstBreaks(RunRuleChecker(0, 10), Ramp(-1, 40, -1), {31, 22, 14, 8});
}

TEST(RunRule, ShiftAfterTheBaseline) {
    // Mean 11, MRbar 47/24: sigma 1.736, so the 1, 2 and 3 sigma boundaries at 1.74, 3.47, 5.21.
    std::vector<int> baseline{11};
    for (int pair = 0; pair < 12; ++pair) {
        baseline.insert(baseline.end(), {12, 10});
    }
    ASSERT_EQ(baseline.size(), static_cast<std::size_t>(DEFAULT_BASELINE_POINTS));
    const ControlLimits limits = ComputeLimits(baseline);
    ASSERT_NEAR(limits.sigma, 1.7361111111, TOLERANCE);
    ExpectFirstBreaks(RunRuleChecker(limits.centre, limits.sigma), baseline, {0, 0, 0, 0});
    const struct {
        int shifted;
        std::array<int, 4> first;
    } cases[] = {
        {11, {0, 0, 0, 0}}, {12, {0, 0, 0, 8}}, {13, {0, 0, 4, 8}},
        {15, {0, 2, 4, 8}}, {17, {1, 2, 4, 8}}, {7, {0, 2, 4, 8}},
    };
    for (const auto& c : cases) {
        ExpectFirstBreaks(RunRuleChecker(limits.centre, limits.sigma), Runs({{c.shifted, 12}}),
                          c.first);
    }
}

TEST(RunRuleDrift, NewestPointOfAMaster) {
    ControlLimits limits;
    limits.centre = 10;
    limits.sigma = 2;
    const struct {
        bool available;
        std::vector<int> recent;
        unsigned newest_breaks;
    } cases[] = {
        {false, {100}, 0},
        {true, {}, 0},
        {true, {17}, R1},
        {true, {17, 11}, 0},
        {true, {15, 10, 15}, R2},
        {true, {11, 11, 11, 11, 11, 11, 11}, 0},
        {true, {4, 4, 4, 4, 11, 11, 11, 11, 11, 11, 11, 11}, R4},
    };
    for (const auto& c : cases) {
        limits.status = c.available ? LimitsStatus::AVAILABLE : LimitsStatus::TOO_FEW_POINTS;
        EXPECT_EQ(CheckDrift(limits, c.recent).Bits(), c.newest_breaks)
            << testing::PrintToString(c.recent);
    }
}

struct Expected {
    IndexStatus status;
    double value;
};
constexpr Expected FEW{IndexStatus::TOO_FEW_RECORDS, 0};
constexpr Expected FLAT{IndexStatus::NOT_COMPUTABLE, 0};
constexpr Expected Is(double value) {
    return {IndexStatus::COMPUTED, value};
}

TEST(Capability, IndicesAgainstAnUpperLimit) {
    const struct {
        std::vector<int> records;
        int usl;
        Expected cpk, ppk, percentile_index;
    } cases[] = {
        {{}, 10, FEW, FEW, FEW},
        {{5}, 10, FEW, FEW, FEW},
        {{10, 12, 11, 13, 9}, 20, Is(1.504), Is(1.8973665961), FEW},
        {{12, 14}, 10, Is(-0.564), Is(-0.7071067812), FEW},
        {Runs({{3, 125}}), 10, FLAT, FLAT, FLAT},
        {Runs({{3, 124}, {9, 1}}), 10, Is(54.0216746667), Is(4.3180957165), Is(1.4012330851)},
        {Ramp(0, 124), 200, Is(52.076), Is(1.2845567413), FEW},
        {Ramp(0, 125), 200, Is(51.888), Is(1.2697206292), Is(2.2318323991)},
    };
    for (const auto& c : cases) {
        const Capability capability = ComputeCapability(Accumulate(c.records), c.usl);
        const std::pair<CapabilityIndex, Expected> indices[] = {
            {capability.cpk, c.cpk},
            {capability.ppk, c.ppk},
            {capability.percentile_index, c.percentile_index},
        };
        for (const auto& [got, expected] : indices) {
            SCOPED_TRACE(std::to_string(c.records.size()) + " records, USL " +
                         std::to_string(c.usl));
            EXPECT_EQ(got.status, expected.status);
            EXPECT_NEAR(got.value, expected.value, TOLERANCE);
            EXPECT_EQ(got.count, c.records.size());
        }
    }
}

TEST(Capability, Classification) {
    const std::pair<double, CapabilityClass> cases[] = {
        {-1, CapabilityClass::RED},      {1.3299, CapabilityClass::RED},
        {1.33, CapabilityClass::AMBER},  {1.6699, CapabilityClass::AMBER},
        {1.67, CapabilityClass::NORMAL}, {5, CapabilityClass::NORMAL},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(ClassifyIndex(value), expected) << value;
    }
}

TEST(StatisticsStretch, SplitWhereTheUslChanges) {
    const struct {
        std::vector<UslReading> readings;
        std::vector<Stretch> stretches;
    } cases[] = {
        {{}, {}},
        {{{4, 10}}, {{0, 1, 10}}},
        {{{1, 10}, {2, 10}, {3, 12}, {4, 12}, {5, 10}}, {{0, 2, 10}, {2, 4, 12}, {4, 5, 10}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitByUsl(c.readings), c.stretches) << c.readings.size();
    }
}

TEST(StatisticsStream, ConstantSeriesHasNoSpread) {
    const Accumulator records = Accumulate(Runs({{7, 200}}));
    const ControlLimits limits = ComputeLimits(records.Stats());
    EXPECT_TRUE(limits.Available());
    EXPECT_EQ(limits.ucl, 7);
    EXPECT_EQ(limits.lcl, 7);
    EXPECT_EQ(CheckDrift(limits, std::vector<int>{7, 7, 7}).Bits(), 0u);
    EXPECT_EQ(CheckDrift(limits, std::vector<int>{7, 7, 8}).Bits(), R1);
    EXPECT_EQ(ComputeCapability(records, 10).percentile_index.status, IndexStatus::NOT_COMPUTABLE);
}

TEST(StatisticsStream, AYearOfReadingsInConstantMemory) {
    // 0..9 repeated: the moving ranges are nine 1s per cycle and a 9 between cycles.
    constexpr int CYCLES = 100000;
    constexpr double N = 10.0 * CYCLES;
    Accumulator records;
    for (int i = 0; i < CYCLES * 10; ++i) {
        records.Add(i % 10);
    }
    const double mr_bar = (9.0 * CYCLES + 9.0 * (CYCLES - 1)) / (N - 1);
    const double s = std::sqrt(8.25 * N / (N - 1));
    EXPECT_EQ(records.Count(), 1000000u);
    EXPECT_NEAR(records.Stats().Mean(), 4.5, 1e-9);
    EXPECT_NEAR(records.Stats().SampleStdDev(), s, 1e-9);
    EXPECT_NEAR(ComputeLimits(records.Stats()).ucl, 4.5 + 3 * mr_bar / 1.128, 1e-9);
    EXPECT_EQ(records.Histogram().Percentile(MEDIAN), 4.5);
    EXPECT_EQ(records.Histogram().Percentile(UPPER_PERCENTILE), 9);
    const Capability capability = ComputeCapability(records, 20);
    EXPECT_NEAR(capability.cpk.value, 15.5 * 1.128 / (3 * mr_bar), 1e-9);
    EXPECT_NEAR(capability.ppk.value, 15.5 / (3 * s), 1e-9);
    EXPECT_NEAR(capability.percentile_index.value, 15.5 / 4.5, 1e-9);
}

}  // namespace
