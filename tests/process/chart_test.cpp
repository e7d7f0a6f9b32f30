// The chart of a series: its limits from the chosen baseline, its signals, the limit line's
// stretches, the capability of the newest stretch and the thinning of what is drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "process/control_chart.h"

namespace {

using history::SeriesPoint;

std::vector<SeriesPoint> Series(const std::vector<int>& areas, int judge = 20) {
    std::vector<SeriesPoint> series;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        series.push_back({1796803200 + static_cast<long long>(i) * 60, areas[i], 5, judge});
    }
    return series;
}

// The baseline alternates 10 and 12: CL 11, MRbar 2, sigma 2 / 1.128 = 1.7730, so 3 sigma
// reaches 16.32 and 5.68, 2 sigma 14.55 and 7.45, 1 sigma 12.77 and 9.23.
const std::vector<int> BASELINE = {10, 12, 10, 12, 10, 12, 10, 12, 10, 12};

TEST(ChartTest, SignalsAgainstTheBaselineLimits) {
    const struct {
        const char* name;
        std::vector<int> after;  // the points charted after the baseline's
        std::vector<std::pair<std::size_t, unsigned>> signalled;  // index after, rule bits
    } cases[] = {
        {"inside the limits", {11, 12, 10}, {}},
        {"one point beyond 3 sigma", {11, 17, 11}, {{1, 0b0001}}},
        {"two of three beyond 2 sigma", {15, 11, 15}, {{2, 0b0010}}},
        {"four of five beyond 1 sigma", {13, 13, 11, 13, 13}, {{4, 0b0100}}},
        {"eight on one side", {12, 12, 12, 12, 12, 12, 12, 12}, {{7, 0b1000}}},
        {"below as above", {5}, {{0, 0b0001}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> areas = c.after;
        const std::vector<SeriesPoint> baseline = Series(BASELINE);
        const process::Chart chart =
            process::BuildChart(Series(areas), baseline, process::Baseline::FIRST_TESTS);
        EXPECT_NEAR(chart.area.limits.centre, 11.0, 1e-9);
        EXPECT_NEAR(chart.area.limits.sigma, 2.0 / 1.128, 1e-9);
        EXPECT_NEAR(chart.area.limits.ucl, 11.0 + 6.0 / 1.128, 1e-9);
        std::vector<std::pair<std::size_t, unsigned>> got;
        for (const process::Signal& signal : chart.area.signalled) {
            got.push_back({signal.index, signal.rules.Bits()});
            EXPECT_EQ(signal.at, 1796803200 + static_cast<long long>(signal.index) * 60);
        }
        EXPECT_EQ(got, c.signalled);
    }
}

TEST(ChartTest, TheBaselineIsTheFirstTestsOrTheWholeFilter) {
    std::vector<int> areas = BASELINE;
    areas.insert(areas.end(), {20, 22, 20, 22});
    const std::vector<SeriesPoint> series = Series(areas);
    const std::vector<SeriesPoint> first(series.begin(), series.begin() + 10);
    const process::Chart first_tests =
        process::BuildChart(series, first, process::Baseline::FIRST_TESTS);
    EXPECT_EQ(first_tests.area.limits.count, 10u);
    EXPECT_NEAR(first_tests.area.limits.centre, 11.0, 1e-9);
    const process::Chart whole = process::BuildChart(series, {}, process::Baseline::FILTER);
    EXPECT_EQ(whole.area.limits.count, 14u);
    // Mean 13.857; the ranges: nine of 2, one of 8 (12 to 20), three of 2: MRbar 32 / 13.
    EXPECT_NEAR(whole.area.limits.centre, 194.0 / 14, 1e-9);
    EXPECT_NEAR(whole.area.limits.mr_centre, 32.0 / 13, 1e-9);
}

TEST(ChartTest, TheLimitLineFollowsTheJudgementAndCapabilityTheNewestStretch) {
    std::vector<SeriesPoint> series = Series(std::vector<int>(100, 3), 20);
    std::vector<int> later;
    for (int i = 0; i < 130; ++i) {
        later.push_back(4 + i % 3);  // 4, 5, 6 ... 4
    }
    for (SeriesPoint point : Series(later, 15)) {
        series.push_back(point);
    }
    const process::Chart chart = process::BuildChart(series, {}, process::Baseline::FILTER);
    ASSERT_EQ(chart.stretches.size(), 2u);
    EXPECT_EQ(chart.stretches[0].usl, 20);
    EXPECT_EQ(chart.stretches[1].begin, 100u);
    EXPECT_EQ(chart.area.usl, 15);
    EXPECT_EQ(chart.area.capability_from, 100u);
    EXPECT_EQ(chart.area.capability.ppk.count, 130u);
    ASSERT_EQ(chart.area.capability.ppk.status, quality::IndexStatus::COMPUTED);
    double mean = 0, m2 = 0;
    for (int v : later) {
        mean += v / 130.0;
    }
    for (int v : later) {
        m2 += (v - mean) * (v - mean);
    }
    EXPECT_NEAR(chart.area.capability.ppk.value, (15 - mean) / (3 * std::sqrt(m2 / 129)), 1e-9);
}

TEST(ChartTest, DrawingThinsToTheExtremesButCountsEveryRecord) {
    std::vector<int> areas(100000, 10);
    areas[54321] = 90;
    areas[77777] = 0;
    const process::Chart chart = process::BuildChart(Series(areas), {}, process::Baseline::FILTER);
    EXPECT_EQ(chart.count, 100000u);
    EXPECT_EQ(chart.times.size(), 100000u);
    EXPECT_LE(chart.area.drawn.size(), process::DRAWN_POINTS);
    bool high = false, low = false;
    for (const process::ChartPoint& point : chart.area.drawn) {
        high = high || (point.index == 54321 && point.value == 90);
        low = low || (point.index == 77777 && point.value == 0);
    }
    EXPECT_TRUE(high);
    EXPECT_TRUE(low);
    EXPECT_EQ(chart.area.maximum, 90);
    EXPECT_EQ(chart.area.minimum, 0);
}

}  // namespace
