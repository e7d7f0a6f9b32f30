#include "sim/population.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Share of `units` units on each of ten lines that the tester passes at judge 8, in percent.
double PassRate(const std::function<Winding(Winding)>& make, int units = 100) {
    int passed = 0;
    for (unsigned line = 0; line < 10; ++line) {
        Population population(100 + line);
        for (int i = 0; i < units; ++i) {
            passed += population.TesterPasses(population.Record(make(population.GoodUnit())));
        }
    }
    return passed / (10.0 * units) * 100.0;
}

TEST(Population, TheTesterPassesGoodUnitsAndWhatOnlyTheWaveShows) {
    const struct {
        const char* unit;
        std::function<Winding(Winding)> make;
        double low, high;  // percent passed
    } cases[] = {
        {"good", [](Winding w) { return w; }, 99.0, 100.0},
        {"1 % faster", [](Winding w) { return Faster(w, 0.01); }, 90.0, 100.0},
        {"10 % shorted turns", [](Winding) { return FaultyWinding(10); }, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        const double rate = PassRate(c.make);
        EXPECT_GE(rate, c.low);
        EXPECT_LE(rate, c.high);
    }
}

}  // namespace
