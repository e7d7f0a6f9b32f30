#include "wave/features.h"

#include <Eigen/Dense>
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <optional>
#include <vector>

namespace wave {
namespace {

constexpr double NOISE_COUNTS = 2.0;
constexpr double MIN_CYCLES = 2.0;
constexpr int MAX_ITERATIONS = 40;
constexpr double CONVERGED = 1e-10;  // relative change of the squared residual
constexpr double MIN_MU = 1e-12;
constexpr double MAX_MU = 1e12;

struct Ringing {
    double a, b, d, w;
};

// The first peak: the first sample of at least half the largest magnitude, then on to the top.
int FirstPeak(const Wave& wave) {
    int largest = 0;
    for (const signed char x : wave) {
        largest = std::max(largest, std::abs(static_cast<int>(x)));
    }
    int at = 0;
    while (at < WAVE_SAMPLES && 2 * std::abs(static_cast<int>(wave[at])) < largest) {
        ++at;
    }
    while (at + 1 < WAVE_SAMPLES && std::abs(wave[at + 1]) > std::abs(wave[at])) {
        ++at;
    }
    return at;
}

// A start for the fit: the angular frequency from the zero crossings (counted once the wave has
// gone the noise's width past zero), no damping; none without two crossings.
std::optional<Ringing> CrossingStart(std::span<const double> x) {
    bool positive = x[0] >= 0.0;
    std::size_t last_on_side = 0;
    std::vector<double> crossings;
    for (std::size_t n = 1; n < x.size(); ++n) {
        if ((x[n] >= 0.0) == positive) {
            last_on_side = n;
        } else if (std::abs(x[n]) >= NOISE_COUNTS) {
            const double a = x[last_on_side];
            const double b = x[last_on_side + 1];
            crossings.push_back(static_cast<double>(last_on_side) + (a == b ? 0.0 : a / (a - b)));
            positive = !positive;
            last_on_side = n;
        }
    }
    if (crossings.size() < 2) {
        return std::nullopt;
    }
    const double half_periods = static_cast<double>(crossings.size() - 1);
    return Ringing{0.0, 0.0, 0.0,
                   std::numbers::pi * half_periods / (crossings.back() - crossings[0])};
}

// e^(-d n) (cos(w n) + i sin(w n)) for n = 0, 1, ...: powers of one complex number.
class Oscillation {
  public:
    explicit Oscillation(const Ringing& r) : step_(std::polar(std::exp(-r.d), r.w)) {}
    std::complex<double> Next() {
        const std::complex<double> now = power_;
        power_ *= step_;
        return now;
    }

  private:
    std::complex<double> step_;
    std::complex<double> power_{1.0, 0.0};
};

double SquaredResidual(std::span<const double> x, const Ringing& r) {
    Oscillation oscillation(r);
    double sum = 0.0;
    for (const double value : x) {
        const std::complex<double> p = oscillation.Next();
        const double residual = value - (r.a * p.real() + r.b * p.imag());
        sum += residual * residual;
    }
    return sum;
}

// One linearized step: the normal equations of the residual in (a, b, d, w).
void NormalEquations(std::span<const double> x, const Ringing& r, Eigen::Matrix4d& normal,
                     Eigen::Vector4d& right) {
    normal.setZero();
    right.setZero();
    Oscillation oscillation(r);
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double t = static_cast<double>(n);
        const std::complex<double> p = oscillation.Next();
        const double fit = r.a * p.real() + r.b * p.imag();
        const Eigen::Vector4d gradient(p.real(), p.imag(), -t * fit,
                                       t * (r.b * p.real() - r.a * p.imag()));
        normal.selfadjointView<Eigen::Lower>().rankUpdate(gradient);
        right += gradient * (x[n] - fit);
    }
    normal = normal.selfadjointView<Eigen::Lower>();
}

// Levenberg-Marquardt from the linear prediction's start, until no step lowers the squared
// residual by more than a relative 1e-10.
Ringing FitRinging(std::span<const double> x, Ringing r) {
    r.a = x[0];
    r.b = 0.0;
    double cost = SquaredResidual(x, r);
    double mu = 1e-3;
    Eigen::Matrix4d normal;
    Eigen::Vector4d right;
    for (int i = 0; i < MAX_ITERATIONS && mu < MAX_MU; ++i) {
        NormalEquations(x, r, normal, right);
        for (; mu < MAX_MU; mu *= 10.0) {
            Eigen::Matrix4d damped = normal;
            damped.diagonal() *= 1.0 + mu;
            const Eigen::Vector4d step = damped.ldlt().solve(right);
            const Ringing next{r.a + step[0], r.b + step[1], r.d + step[2], r.w + step[3]};
            const double next_cost = SquaredResidual(x, next);
            if (std::isfinite(next_cost) && next_cost <= cost) {
                const bool done = cost - next_cost <= CONVERGED * cost;
                r = next;
                cost = next_cost;
                mu = std::max(mu / 10.0, MIN_MU);
                if (done) {
                    return r;
                }
                break;
            }
        }
    }
    return r;
}

// Cycles where the fitted envelope stands above the noise, within the wave.
double VisibleCycles(const Ringing& r, std::size_t samples) {
    const double amplitude = std::hypot(r.a, r.b);
    double span = static_cast<double>(samples);
    if (amplitude <= NOISE_COUNTS) {
        return 0.0;
    }
    if (r.d > 0.0) {
        span = std::min(span, std::log(amplitude / NOISE_COUNTS) / r.d);
    }
    return span * r.w / (2.0 * std::numbers::pi);
}

void MeasureResidual(std::span<const double> x, const Ringing& r, Features& features) {
    Oscillation oscillation(r);
    double energy = 0.0;
    double residual = 0.0;
    for (const double value : x) {
        const std::complex<double> p = oscillation.Next();
        const double difference = value - (r.a * p.real() + r.b * p.imag());
        energy += value * value;
        residual += difference * difference;
        features.hf_spike = std::max(features.hf_spike, std::abs(difference));
    }
    features.hf_energy = energy > 0.0 ? 100.0 * residual / energy : 0.0;
}

}  // namespace

Features Measure(const Wave& wave) {
    Features features;
    features.peak_at = FirstPeak(wave);
    features.peak = wave[features.peak_at];
    std::vector<double> x(wave.begin() + features.peak_at, wave.end());
    if (x.size() < 4) {
        return features;
    }
    const std::optional<Ringing> start = CrossingStart(x);
    const std::optional<Ringing> fit =
        start ? std::optional<Ringing>(FitRinging(x, *start)) : std::nullopt;
    if (!fit || !std::isfinite(fit->d) || fit->w <= 0.0 || fit->w >= std::numbers::pi ||
        VisibleCycles(*fit, x.size()) < MIN_CYCLES) {
        return features;
    }
    features.fittable = true;
    features.frequency = 100.0 * fit->w / (2.0 * std::numbers::pi);
    features.damping = 100.0 * fit->d;
    MeasureResidual(x, *fit, features);
    return features;
}

double ErrorAreaRatio(const Wave& wave, std::span<const double> reference) {
    double difference = 0.0;
    double area = 0.0;
    for (int i = 0; i < WAVE_SAMPLES && i < static_cast<int>(reference.size()); ++i) {
        difference += std::abs(wave[i] - reference[i]);
        area += std::abs(reference[i]);
    }
    return area > 0.0 ? 100.0 * difference / area : 0.0;
}

double ErrorAreaRatio(const Wave& wave, const Wave& reference) {
    std::array<double, WAVE_SAMPLES> values{};
    std::copy(reference.begin(), reference.end(), values.begin());
    return ErrorAreaRatio(wave, values);
}

}  // namespace wave
