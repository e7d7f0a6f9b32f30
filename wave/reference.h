// A reference learned from N good units (10 to 1000) and its prediction limits.
//
// Outliers: every unit's frequency, damping, hf_energy, hf_spike and EAR against the per-sample
// median wave get a robust z = 0.6745 (x - median) / MAD over the units given; a unit is dropped
// when it is unfittable or any |z| > 5 (a unit whose value differs from a median of no MAD counts
// as beyond). The n units kept (at least 10) give the per-sample mean m_i and spread s_i, each
// feature's mean and standard deviation (EAR against m), and the covariance S of (frequency,
// damping).
//
// Limits for a new unit, each test at its own alpha, the four adding up (Bonferroni) to 0.35 % by
// the normal law, under the 0.5 % stated per good unit: the EAR's share is half the others', its
// logarithm's tail being heavier than a normal one's (measured: wave/README.md):
//   frequency and damping: T^2 = (x - mean)' S^-1 (x - mean) <= 2 (n + 1)(n - 1) / (n (n - 2))
//     F_(2, n - 2)(1 - alpha) (Hotelling's prediction limit for a new unit);
//   EAR and hf_energy, one-sided on their logarithms (both are positive and skewed to the right):
//     ln x <= mean + t_(n - 1)(1 - alpha) sd sqrt(1 + 1 / n) (mean and sd of the logarithms);
//   envelope: every |x_i - m_i| <= t_(n - 1)(1 - alpha / 600) max(s_i, 0.5) sqrt(1 + 1 / n), alpha
//     split over the 300 samples and both sides (a spread below half a count is the 8-bit
//     quantization's floor).
#pragma once

#include <array>
#include <optional>
#include <span>

#include "values/wave.h"

namespace wave {

constexpr int MIN_LEARN_UNITS = 10;
constexpr int MAX_LEARN_UNITS = 1000;
constexpr double ALPHA_PAIR = 0.001;
constexpr double ALPHA_EAR = 0.0005;
constexpr double ALPHA_HF = 0.001;
constexpr double ALPHA_ENVELOPE = 0.001;
constexpr double OUTLIER_Z = 5.0;

struct Spread {
    double mean = 0.0;
    double sd = 0.0;
};

struct Limits {
    double pair = 0.0;       // largest T^2 of (frequency, damping)
    double ear = 0.0;        // largest EAR, %
    double hf_energy = 0.0;  // largest hf_energy, %
    double envelope = 0.0;   // the band's half-width in spreads: t sqrt(1 + 1 / n)
};

struct Reference {
    int units = 0;    // kept
    int dropped = 0;  // of the units given
    std::array<double, WAVE_SAMPLES> mean{};
    std::array<double, WAVE_SAMPLES> spread{};
    Spread frequency, damping;
    Spread ear, hf_energy;    // of their logarithms
    double covariance = 0.0;  // of frequency and damping
    Limits limits;
};

// The envelope's limit at `sample`: how far a new unit's wave may lie from the learned mean there.
inline double EnvelopeLimit(const Reference& reference, int sample) {
    return reference.limits.envelope * reference.spread[sample];
}

// None with fewer than 10 or more than 1000 units given, or fewer than 10 kept.
std::optional<Reference> Learn(std::span<const Wave> units);

}  // namespace wave
