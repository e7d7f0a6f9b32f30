// The wave's frequency and damping charted on real values: the records without a fit skipped and
// counted, the run rules as for area and phase, no capability, and the EWMA with its limits.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "process/control_chart.h"

namespace {

using history::SeriesPoint;

std::vector<SeriesPoint> Series(const std::vector<std::optional<double>>& frequencies) {
    std::vector<SeriesPoint> series;
    for (std::size_t i = 0; i < frequencies.size(); ++i) {
        const auto damping =
            frequencies[i] ? std::optional<double>(*frequencies[i] / 10) : std::nullopt;
        series.push_back(
            {1796803200 + static_cast<long long>(i) * 60, 5, 5, 20, frequencies[i], damping});
    }
    return series;
}

// The baseline alternates 5.00 and 5.02: CL 5.01, sigma 0.02 / 1.128 = 0.01773, so 1 sigma
// reaches 5.0277 and 3 sigma 5.0632; the EWMA's limits CL +- 3.3 sigma sqrt(0.2 / 1.8), 0.0195.
const std::vector<std::optional<double>> BASELINE = {5.00, 5.02, 5.00, 5.02, 5.00,
                                                     5.02, 5.00, 5.02, 5.00, 5.02};

TEST(WaveChartTest, FrequencyAndDampingOnRealValues) {
    const struct {
        const char* name;
        std::vector<std::optional<double>> after;
        std::size_t unfitted;
        std::vector<std::pair<std::size_t, unsigned>> signalled;  // index after, rule bits
        std::vector<std::size_t> ewma;                            // the EWMA's signals
    } cases[] = {
        {"inside, the unfitted skipped", {5.01, std::nullopt, 5.00, std::nullopt}, 2, {}, {}},
        {"one point beyond 3 sigma", {5.01, 5.07, 5.01}, 0, {{1, 0b0001}}, {}},
        {"beyond 3 sigma, then one without a fit", {5.07, std::nullopt}, 1, {{0, 0b0001}}, {}},
        // z = 1.523: four of five beyond 1 sigma from the 4th, eight on one side at the 8th;
        // the EWMA 1.523 (1 - 0.8^k) passes 1.1 at the 6th.
        {"a step of 1.5 sigma",
         std::vector<std::optional<double>>(8, 5.037),
         0,
         {{3, 0b0100}, {4, 0b0100}, {5, 0b0100}, {6, 0b0100}, {7, 0b1100}},
         {5, 6, 7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const process::Chart chart =
            process::BuildChart(Series(c.after), Series(BASELINE), process::Baseline::FIRST_TESTS);
        for (process::Item item : {process::Item::FREQUENCY, process::Item::DAMPING}) {
            const process::ItemChart& of = chart.Of(item);
            const double scale = item == process::Item::DAMPING ? 0.1 : 1.0;
            EXPECT_NEAR(of.limits.centre, 5.01 * scale, 1e-9);
            EXPECT_NEAR(of.limits.sigma, 0.02 / 1.128 * scale, 1e-9);
            EXPECT_NEAR(of.ewma.ucl - of.limits.centre,
                        3.3 * of.limits.sigma * std::sqrt(0.2 / 1.8), 1e-12);
            EXPECT_FALSE(of.specified);
            EXPECT_EQ(of.capability.cpk.count, 0u);
            EXPECT_EQ(of.unfitted, c.unfitted);
            EXPECT_EQ(of.drawn.size(), c.after.size() - c.unfitted);
            std::vector<std::pair<std::size_t, unsigned>> got;
            for (const process::Signal& signal : of.signalled) {
                got.push_back({signal.index, signal.rules.Bits()});
            }
            EXPECT_EQ(got, c.signalled);
            std::vector<std::size_t> ewma;
            for (const process::Signal& signal : of.ewma.signalled) {
                ewma.push_back(signal.index);
            }
            EXPECT_EQ(ewma, c.ewma);
        }
        EXPECT_TRUE(chart.area.specified);
        EXPECT_TRUE(chart.area.ewma.drawn.empty());
    }
}

TEST(WaveChartTest, TheWaveBaselineIsItsOwnFittedTestsAndWithoutSpreadNoEwma) {
    const std::vector<SeriesPoint> series = Series({std::nullopt, 5.00, 5.02, std::nullopt});
    const process::Chart whole = process::BuildChart(series, {}, process::Baseline::FILTER);
    EXPECT_EQ(whole.frequency.limits.count, 2u);
    EXPECT_NEAR(whole.frequency.limits.centre, 5.01, 1e-9);
    EXPECT_EQ(whole.area.limits.count, 4u);
    const process::Chart flat = process::BuildChart(series, Series({5.0, 5.0}), Series({5.0, 5.0}),
                                                    process::Baseline::FIRST_TESTS);
    EXPECT_TRUE(flat.frequency.limits.Available());
    EXPECT_FALSE(flat.frequency.ewma.available);
    EXPECT_TRUE(flat.frequency.ewma.drawn.empty());
}

}  // namespace
