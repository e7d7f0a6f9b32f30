#include "sim/surge_wave.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

WaveBytes Recorded(int shorted_turns, unsigned seed, int noise = 1, int voltage = 45) {
    std::mt19937 random(seed);
    return RecordWave(FaultyWinding(shorted_turns), AmplitudeForVoltage(voltage), noise, random);
}

// Distance between the first and third zero crossings of the noise-free wave, in samples.
double Period(int shorted_turns) {
    const WaveBytes wave = Recorded(shorted_turns, 1, 0);
    std::vector<double> crossings;
    for (int i = 11; i < WAVE_BYTES && crossings.size() < 3; ++i) {
        if ((wave[i - 1] >= 128) != (wave[i] >= 128)) {
            crossings.push_back(i);
        }
    }
    return crossings.size() == 3 ? crossings[2] - crossings[0] : 0.0;
}

TEST(SurgeWave, ShortedTurnsRingFasterAndDieSooner) {
    EXPECT_LT(Period(20), Period(5));
    EXPECT_LT(Period(5), Period(0));
    // The envelope: the largest swing late in the wave.
    const auto late_swing = [](const WaveBytes& wave) {
        int swing = 0;
        for (int i = 150; i < WAVE_BYTES; ++i) {
            swing = std::max(swing, std::abs(wave[i] - 128));
        }
        return swing;
    };
    EXPECT_LT(late_swing(Recorded(20, 1, 0)), late_swing(Recorded(0, 1, 0)));
}

TEST(SurgeWave, ASoundWindingPassesWhateverTheNoiseSeed) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        const Comparison comparison = CompareWaves(Recorded(0, seed + 1000), Recorded(0, seed));
        EXPECT_LE(comparison.area, 7);
        EXPECT_LE(comparison.phase, 1);
    }
}

TEST(SurgeWave, DifferencesGrowWithTheShortedTurns) {
    const WaveBytes standard = Recorded(0, 1);
    Comparison previous = CompareWaves(Recorded(0, 2), standard);
    for (const int shorted : {5, 10, 20, 40}) {
        SCOPED_TRACE(shorted);
        const Comparison comparison = CompareWaves(Recorded(shorted, 2), standard);
        EXPECT_GT(comparison.area, previous.area);
        EXPECT_GT(comparison.phase, previous.phase);
        previous = comparison;
    }
}

TEST(SurgeWave, ComparisonOfAWaveWithItselfIsZero) {
    const WaveBytes wave = Recorded(0, 3);
    const Comparison comparison = CompareWaves(wave, wave);
    EXPECT_EQ(comparison.area, 0);
    EXPECT_EQ(comparison.phase, 0);
}

TEST(SurgeWave, AFlatTestWaveIsCappedAt99) {
    WaveBytes flat;
    flat.fill(128);
    const Comparison comparison = CompareWaves(flat, Recorded(0, 1));
    EXPECT_EQ(comparison.area, 99);
    EXPECT_EQ(comparison.phase, 99);
}

TEST(SurgeWave, SamplesStayInsideTheEightBitRange) {
    std::mt19937 random(1);
    const WaveBytes wave = RecordWave(SoundWinding(), 500.0, 60, random);
    EXPECT_EQ(*std::max_element(wave.begin(), wave.end()), 255);
    EXPECT_EQ(*std::min_element(wave.begin(), wave.end()), 0);
}

TEST(ResultText, VerdictComesFromTheJudgeSetting) {
    const struct {
        int area, phase, judge;
        const char* text;
    } cases[] = {
        {3, 1, 7, "0301OK"}, {7, 7, 7, "0707OK"},    {8, 0, 7, "0800NG"},  {0, 8, 7, "0008NG"},
        {0, 0, 0, "0000OK"}, {99, 99, 99, "9999OK"}, {1, 0, -1, "0100NG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ResultText({c.area, c.phase}, c.judge), c.text);
    }
}

}  // namespace
