#include "sim/surge_wave.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kImpulseAt = 10;         // samples recorded before the impulse
constexpr double kCrossingBand = 2.0;  // counts a wave must pass beyond zero to count a crossing

int CappedPercent(double percent) {
    return static_cast<int>(std::clamp(std::lround(percent), 0L, 99L));
}

// Zero crossings after the impulse, interpolated between samples. A crossing counts only once
// the wave has gone clearly past zero, so noise around zero does not add crossings.
std::vector<double> ZeroCrossings(const WaveBytes& wave) {
    std::vector<double> crossings;
    const auto value = [&](int i) { return static_cast<double>(wave[i]) - 128.0; };
    bool positive = value(kImpulseAt) >= 0.0;
    int lastOnSide = kImpulseAt;
    for (int i = kImpulseAt + 1; i < kWaveBytes; ++i) {
        const double v = value(i);
        if ((v >= 0.0) == positive) {
            lastOnSide = i;
        } else if (std::abs(v) >= kCrossingBand) {
            const double a = value(lastOnSide);
            const double b = value(lastOnSide + 1);
            crossings.push_back(lastOnSide + (a == b ? 0.0 : a / (a - b)));
            positive = !positive;
            lastOnSide = i;
        }
    }
    return crossings;
}

}  // namespace

Winding SoundWinding() {
    return {1.0 / 50.0, 0.010};
}

Winding FaultyWinding(int shortedTurnsPercent) {
    const double shorted = std::clamp(shortedTurnsPercent, 0, 90) / 100.0;
    const Winding sound = SoundWinding();
    return {sound.frequency / std::sqrt(1.0 - shorted), sound.damping * (1.0 + 6.0 * shorted)};
}

double AmplitudeForVoltage(int voltageTenths) {
    return std::clamp(20.0 + 2.0 * voltageTenths, 20.0, 120.0);
}

WaveBytes RecordWave(const Winding& winding, double amplitude, int noise, std::mt19937& random) {
    std::uniform_int_distribution<int> noiseCounts(-noise, noise);
    WaveBytes wave{};
    for (int i = 0; i < kWaveBytes; ++i) {
        double value = 0.0;
        if (i >= kImpulseAt) {
            const double t = i - kImpulseAt;
            value = amplitude * std::exp(-winding.damping * t) *
                    std::cos(2.0 * std::numbers::pi * winding.frequency * t);
        }
        const long sample = 128 + std::lround(value) + noiseCounts(random);
        wave[i] = static_cast<std::uint8_t>(std::clamp(sample, 0L, 255L));
    }
    return wave;
}

Comparison CompareWaves(const WaveBytes& test, const WaveBytes& standard) {
    double difference = 0.0;
    double standardArea = 0.0;
    for (int i = 0; i < kWaveBytes; ++i) {
        difference += std::abs(static_cast<double>(test[i]) - standard[i]);
        standardArea += std::abs(static_cast<double>(standard[i]) - 128.0);
    }
    const int area = standardArea > 0.0 ? CappedPercent(100.0 * difference / standardArea) : 99;

    const std::vector<double> testCrossings = ZeroCrossings(test);
    const std::vector<double> standardCrossings = ZeroCrossings(standard);
    int phase = 99;
    if (testCrossings.size() >= 4 && standardCrossings.size() >= 4) {
        const double period = standardCrossings[3] - standardCrossings[1];
        phase = CappedPercent(100.0 * std::abs(testCrossings[3] - standardCrossings[3]) / period);
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
