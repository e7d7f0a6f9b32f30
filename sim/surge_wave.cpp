#include "sim/surge_wave.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int IMPULSE_AT = 10;         // samples recorded before the impulse
constexpr double CROSSING_BAND = 2.0;  // counts a wave must pass beyond zero to count a crossing
constexpr int SMOOTHING = 5;           // samples of the aligned comparison's moving average
constexpr int COMPARED_CROSSINGS = 4;  // the aligned comparison reads up to this zero crossing

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

// A centred moving average, over the samples there are at the ends.
Samples Smoothed(const Samples& wave) {
    Samples smoothed{};
    for (int i = 0; i < WAVE_BYTES; ++i) {
        const int first = std::max(0, i - SMOOTHING / 2);
        const int last = std::min(WAVE_BYTES - 1, i + SMOOTHING / 2);
        double sum = 0.0;
        for (int j = first; j <= last; ++j) {
            sum += wave[j];
        }
        smoothed[i] = sum / (last - first + 1);
    }
    return smoothed;
}

// The impulse's first sample: the first one past a quarter of the largest swing, so that noise
// before a late impulse is not taken for the ringing.
int Onset(const Samples& wave) {
    double swing = 0.0;
    for (const double v : wave) {
        swing = std::max(swing, std::abs(v));
    }
    for (int i = IMPULSE_AT; i < WAVE_BYTES; ++i) {
        if (std::abs(wave[i]) > std::max(CROSSING_BAND, swing / 4.0)) {
            return i;
        }
    }
    return WAVE_BYTES;
}

// Zero crossings after the impulse, interpolated between samples. A crossing counts only once
// the wave has gone clearly past zero, so noise around zero does not add crossings.
std::vector<double> ZeroCrossings(const Samples& wave) {
    std::vector<double> crossings;
    const int onset = Onset(wave);
    if (onset == WAVE_BYTES) {
        return crossings;
    }
    bool positive = wave[onset] >= 0.0;
    int last_on_side = onset;
    for (int i = onset + 1; i < WAVE_BYTES; ++i) {
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

// The wave at a point between samples, linearly interpolated; held at the ends.
double At(const Samples& wave, double position) {
    const double clamped = std::clamp(position, 0.0, WAVE_BYTES - 1.0);
    const int below = std::min(static_cast<int>(clamped), WAVE_BYTES - 2);
    const double fraction = clamped - below;
    return wave[below] * (1.0 - fraction) + wave[below + 1] * fraction;
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

Comparison CompareAligned(const WaveBytes& test, const WaveBytes& standard) {
    const Samples smooth_test = Smoothed(Centred(test));
    const Samples smooth_standard = Smoothed(Centred(standard));
    const std::vector<double> test_crossings = ZeroCrossings(smooth_test);
    const std::vector<double> standard_crossings = ZeroCrossings(smooth_standard);
    const bool both_ring = test_crossings.size() >= COMPARED_CROSSINGS &&
                           standard_crossings.size() >= COMPARED_CROSSINGS;
    const double shift = both_ring ? test_crossings[0] - standard_crossings[0] : 0.0;
    const int end = both_ring
                        ? static_cast<int>(std::ceil(standard_crossings[COMPARED_CROSSINGS - 1]))
                        : WAVE_BYTES;
    double difference = 0.0;
    double standard_area = 0.0;
    for (int i = 0; i < end; ++i) {
        difference += std::abs(At(smooth_test, i + shift) - smooth_standard[i]);
        standard_area += std::abs(smooth_standard[i]);
    }
    const int area = standard_area > 0.0 ? CappedPercent(100.0 * difference / standard_area) : 99;
    if (!both_ring) {
        return {area, 99};
    }
    const int last = COMPARED_CROSSINGS - 1;
    const double period = standard_crossings[3] - standard_crossings[1];
    const double test_span = test_crossings[last] - test_crossings[0];
    const double standard_span = standard_crossings[last] - standard_crossings[0];
    return {area, CappedPercent(100.0 * std::abs(test_span - standard_span) / period)};
}

std::string ResultText(const Comparison& comparison, int judge) {
    char text[8];
    const bool pass = comparison.area <= judge && comparison.phase <= judge;
    std::snprintf(text, sizeof text, "%02d%02d%s", comparison.area, comparison.phase,
                  pass ? "OK" : "NG");
    return text;
}
