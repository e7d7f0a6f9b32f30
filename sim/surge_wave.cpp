#include "sim/surge_wave.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int IMPULSE_AT = 10;         // samples recorded before the impulse
constexpr double CROSSING_BAND = 2.0;  // counts a wave must pass beyond zero to count a crossing

using Samples = std::array<double, WAVE_BYTES>;

int CappedPercent(double percent) {
    return static_cast<int>(std::clamp(std::lround(percent), 0L, 99L));
}

Samples Centred(const WaveBytes& wave) {
    Samples samples{};
    std::transform(wave.begin(), wave.end(), samples.begin(),
                   [](std::uint8_t b) { return static_cast<double>(b) - 128.0; });
    return samples;
}

// Zero crossings after the impulse, interpolated between samples. A crossing counts only once
// the wave has gone clearly past zero, so noise around zero does not add crossings.
std::vector<double> ZeroCrossings(const Samples& wave) {
    std::vector<double> crossings;
    bool positive = wave[IMPULSE_AT] >= 0.0;
    int last_on_side = IMPULSE_AT;
    for (int i = IMPULSE_AT + 1; i < WAVE_BYTES; ++i) {
        const double v = wave[i];
        if ((v >= 0.0) == positive) {
            last_on_side = i;
        } else if (std::abs(v) >= CROSSING_BAND) {
            const double a = wave[last_on_side];
            const double b = wave[last_on_side + 1];
            crossings.push_back(last_on_side + (a == b ? 0.0 : a / (a - b)));
            positive = !positive;
            last_on_side = i;
        }
    }
    return crossings;
}

}  // namespace

Winding SoundWinding() {
    return {1.0 / 50.0, 0.010};
}

Winding FaultyWinding(int shorted_turns_percent) {
    const double shorted = std::clamp(shorted_turns_percent, 0, 90) / 100.0;
    const Winding sound = SoundWinding();
    return {sound.frequency / std::sqrt(1.0 - shorted), sound.damping * (1.0 + 6.0 * shorted)};
}

double AmplitudeForVoltage(int voltage_tenths) {
    return std::clamp(20.0 + 2.0 * voltage_tenths, 20.0, 120.0);
}

WaveBytes RecordWave(const Winding& winding, double amplitude, int noise, std::mt19937& random,
                     double delay) {
    std::uniform_int_distribution<int> noise_counts(-noise, noise);
    WaveBytes wave{};
    for (int i = 0; i < WAVE_BYTES; ++i) {
        double value = 0.0;
        const double t = i - IMPULSE_AT - delay;
        if (t >= 0.0) {
            value = amplitude * std::exp(-winding.damping * t) *
                    std::cos(2.0 * std::numbers::pi * winding.frequency * t);
        }
        const long sample = 128 + std::lround(value) + noise_counts(random);
        wave[i] = static_cast<std::uint8_t>(std::clamp(sample, 0L, 255L));
    }
    return wave;
}

Comparison CompareWaves(const WaveBytes& test, const WaveBytes& standard) {
    double difference = 0.0;
    double standard_area = 0.0;
    for (int i = 0; i < WAVE_BYTES; ++i) {
        difference += std::abs(static_cast<double>(test[i]) - standard[i]);
        standard_area += std::abs(static_cast<double>(standard[i]) - 128.0);
    }
    const int area = standard_area > 0.0 ? CappedPercent(100.0 * difference / standard_area) : 99;

    const std::vector<double> test_crossings = ZeroCrossings(Centred(test));
    const std::vector<double> standard_crossings = ZeroCrossings(Centred(standard));
    int phase = 99;
    if (test_crossings.size() >= 4 && standard_crossings.size() >= 4) {
        const double period = standard_crossings[3] - standard_crossings[1];
        phase = CappedPercent(100.0 * std::abs(test_crossings[3] - standard_crossings[3]) / period);
    }
    return {area, phase};
}

std::string ResultText(const Comparison& comparison, int judge) {
    char text[8];
    const bool pass = comparison.area <= judge && comparison.phase <= judge;
    std::snprintf(text, sizeof text, "%02d%02d%s", comparison.area, comparison.phase,
                  pass ? "OK" : "NG");
    return text;
}
