// The features of one wave (300 samples, x_i in counts, signed), measured by the station itself.
//
// First peak p: the first sample with |x_i| >= max|x| / 2, moved on while |x| still grows.
// Ringing: x_(p+n) ~ e^(-d n) (a cos(w n) + b sin(w n)) for n = 0 .. 299 - p, fitted by least
//   squares (Levenberg-Marquardt on a, b, d, w, started from the zero crossings' frequency and no
//   damping: a linear prediction's start is biased by the noise on a wave this oversampled).
//   frequency = 100 w / (2 pi) cycles per 100 samples; damping = 100 d nepers per 100 samples.
//   Unfittable: fewer than two zero crossings, a fit with no finite ringing below half the sample
//   rate, or fewer than 2 cycles where the fitted envelope sqrt(a^2 + b^2) e^(-d n) stays above
//   the noise (2 counts) within the wave.
// Residual r_n = x_(p+n) - fit_n:
//   hf_energy = 100 sum r_n^2 / sum x_(p+n)^2 (%); hf_spike = max |r_n| (counts).
// Error area ratio against a reference wave y: EAR = 100 sum |x_i - y_i| / sum |y_i| (%).
#pragma once

#include <span>

#include "values/wave.h"

namespace wave {

struct Features {
    bool fittable = false;
    double frequency = 0.0;  // cycles per 100 samples
    double damping = 0.0;    // nepers per 100 samples
    int peak = 0;            // the first peak's value, counts
    int peak_at = 0;         // its sample
    double hf_energy = 0.0;  // % of the wave's energy after the first peak; 0 when unfittable
    double hf_spike = 0.0;   // counts; 0 when unfittable
};

Features Measure(const Wave& wave);

// EAR of `wave` against `reference` (300 values); 0 against a reference of no area.
double ErrorAreaRatio(const Wave& wave, std::span<const double> reference);
double ErrorAreaRatio(const Wave& wave, const Wave& reference);

}  // namespace wave
