// The process-control statistics against hand-computed tables and generated series whose answers
// are known in closed form.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "quality/control_limits.h"
#include "quality/integer_histogram.h"
#include "quality/moving_range.h"
#include "quality/percentile.h"

namespace {

using namespace quality;

constexpr double TOLERANCE = 1e-6;

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

}  // namespace
