// The wave's features, quantiles, learned reference and judgement on synthetic waves whose answers
// are known.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "wave/features.h"
#include "wave/judgement.h"
#include "wave/quantiles.h"
#include "wave/reference.h"

namespace {

using namespace wave;

struct Ringing {
    double frequency;  // cycles per 100 samples
    double damping;    // nepers per 100 samples
    double amplitude = 100.0;
};

// 10 flat samples, then the ringing rounded to counts, plus noise of up to `noise` counts.
Wave Synthetic(const Ringing& r, int noise = 0, std::mt19937* random = nullptr) {
    Wave wave{};
    for (int i = 10; i < WAVE_SAMPLES; ++i) {
        const double t = i - 10;
        const double value = r.amplitude * std::exp(-r.damping * t / 100.0) *
                             std::cos(2.0 * std::numbers::pi * r.frequency * t / 100.0);
        const long jitter = random ? static_cast<long>((*random)() % (2 * noise + 1)) - noise : 0;
        wave[i] = static_cast<signed char>(std::lround(value) + jitter);
    }
    return wave;
}

TEST(WaveFeatures, FitsTheRingingOrMarksItUnfittable) {
    const struct {
        Ringing ringing;
        bool fittable;
    } cases[] = {
        {{2.0, 1.0}, true},       {{1.38, 1.0}, true},
        {{5.0, 2.0, 80.0}, true}, {{0.5, 0.5}, false},  // 1.5 cycles in the wave
        {{2.0, 5.0}, false},                            // 1.6 cycles before the noise
        {{2.0, 1.0, 0.0}, false},
    };
    for (const auto& c : cases) {
        const Features f = Measure(Synthetic(c.ringing));
        EXPECT_EQ(f.fittable, c.fittable) << c.ringing.frequency << " " << c.ringing.damping;
        if (c.fittable) {
            EXPECT_NEAR(f.frequency, c.ringing.frequency, 1e-3 * c.ringing.frequency);
            EXPECT_NEAR(f.damping, c.ringing.damping, 2e-2 * c.ringing.damping);
            EXPECT_EQ(f.peak_at, 10);
            EXPECT_EQ(f.peak, std::lround(c.ringing.amplitude));
        }
    }
}

TEST(WaveFeatures, ErrorAreaAndHighFrequency) {
    Wave step{};
    std::vector<double> reference(WAVE_SAMPLES, 0.0);
    for (int i = 0; i < 100; ++i) {
        step[i] = 10;
        reference[i] = 10.0;
    }
    Wave spiked = step;
    spiked[150] = 50;
    const Wave ringing = Synthetic({2.0, 1.0});
    Wave arcing = ringing;
    arcing[100] = static_cast<signed char>(arcing[100] + 40);
    double energy = 0.0;
    for (int i = 10; i < WAVE_SAMPLES; ++i) {
        energy += ringing[i] * ringing[i];
    }
    const struct {
        double value, expected, tolerance;
    } cases[] = {
        {ErrorAreaRatio(step, reference), 0.0, 1e-12},
        {ErrorAreaRatio(spiked, reference), 5.0, 1e-12},
        {ErrorAreaRatio(step, std::vector<double>(WAVE_SAMPLES, 0.0)), 0.0, 1e-12},
        {ErrorAreaRatio(ringing, step), 100.0 * 4000.0 / 1000.0, 1000.0},
        {Measure(ringing).hf_energy, 0.0, 0.01},
        {Measure(arcing).hf_spike, 40.0, 1.0},
        {Measure(arcing).hf_energy, 100.0 * 1600.0 / energy, 0.1 * 100.0 * 1600.0 / energy},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.value, c.expected, c.tolerance);
    }
}

TEST(WaveQuantiles, MatchTheTables) {
    const struct {
        double value, table;
    } cases[] = {
        {StudentQuantile(0.975, 10), 2.228139},  {StudentQuantile(0.995, 5), 4.032143},
        {StudentQuantile(0.95, 1), 6.313752},    {StudentQuantile(0.999, 30), 3.385185},
        {StudentQuantile(0.05, 10), -1.812461},  {FisherQuantile(0.95, 2, 10), 4.102821},
        {FisherQuantile(0.95, 3, 20), 3.098391}, {FisherQuantile(0.99, 5, 10), 5.636326},
        {RegularizedBeta(0.5, 2, 2), 0.5},       {RegularizedBeta(0.25, 1, 1), 0.25},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.value, c.table, 1e-6);
    }
}

// Good units around 2 cycles and 1 neper per 100 samples, spread 0.15 % and 1.5 %, noise 2 counts.
std::vector<Wave> GoodUnits(int count, unsigned seed = 1) {
    std::mt19937 random(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::vector<Wave> units;
    for (int i = 0; i < count; ++i) {
        const double f = 2.0 * (1.0 + 0.0015 * unit(random));
        const double d = 1.0 * (1.0 + 0.015 * unit(random));
        units.push_back(Synthetic({f, d}, 2, &random));
    }
    return units;
}

TEST(WaveReference, DropsOutliersByTheirRobustZ) {
    const struct {
        const char* what;
        int good;
        std::vector<Wave> odd;
        int units;  // kept; 0: none learned
    } cases[] = {
        {"good units", 30, {}, 30},
        {"one 5 % faster", 30, {Synthetic({2.1, 1.0})}, 30},
        {"one unfittable", 30, {Synthetic({0.5, 0.5})}, 30},
        {"one twice as damped", 30, {Synthetic({2.0, 2.0})}, 30},
        {"too few", 9, {}, 0},
        {"too few kept", 9, {Synthetic({2.2, 1.0})}, 0},
    };
    for (const auto& c : cases) {
        std::vector<Wave> units = GoodUnits(c.good);
        units.insert(units.end(), c.odd.begin(), c.odd.end());
        const std::optional<Reference> reference = Learn(units);
        EXPECT_EQ(reference ? reference->units : 0, c.units) << c.what;
        if (reference) {
            EXPECT_EQ(reference->dropped, static_cast<int>(c.odd.size())) << c.what;
        }
    }
}

TEST(WaveJudgement, NamesWhatTripped) {
    const std::optional<Reference> reference = Learn(GoodUnits(100));
    ASSERT_TRUE(reference);
    Wave spiked = Synthetic({2.0, 1.0});
    spiked[150] = static_cast<signed char>(spiked[150] + 60);
    const struct {
        Wave wave;
        std::string rule;
        std::string text;
    } cases[] = {
        {Synthetic({2.0, 1.0}), "", ""},
        {Synthetic({2.02, 1.0}), "frequency,ear", "주파수 +1.0 %, 면적 "},
        {Synthetic({2.0, 1.1}), "damping,ear", "감쇠 +10 %, 면적 "},
        {Synthetic({2.03, 1.1}), "frequency,damping,ear,envelope",
         "주파수 +1.5 %, 감쇠 +10 %, 면적 "},
        {spiked, "hf,envelope", "고주파, 포락선"},
        {Synthetic({0.5, 0.5}), "frequency,damping,ear,envelope",
         "주파수 측정 불가, 감쇠 측정 불가, 면적 "},
    };
    for (const auto& c : cases) {
        const Judgement judgement = Judge(*reference, c.wave, Measure(c.wave));
        EXPECT_EQ(judgement.rule, c.rule);
        EXPECT_EQ(judgement.alarm, !c.rule.empty());
        EXPECT_EQ(judgement.text.substr(0, c.text.size()), c.text);
    }
}

TEST(WaveEwma, TripsWhenTheAverageLeavesItsLimit) {
    const struct {
        double z;
        int trips_at;  // 0: never within 50
    } cases[] = {{0.5, 0}, {2.0, 4}, {-3.0, 3}, {10.0, 1}};
    for (const auto& c : cases) {
        Ewma ewma;
        int at = 0;
        for (int k = 1; k <= 50 && at == 0; ++k) {
            at = ewma.Add(c.z) ? k : 0;
        }
        EXPECT_EQ(at, c.trips_at) << c.z;
    }
}

}  // namespace
