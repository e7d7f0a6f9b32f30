#include "wave/quantiles.h"

#include <cmath>
#include <functional>

namespace wave {
namespace {

constexpr int MAX_TERMS = 300;
constexpr double EPSILON = 1e-15;
constexpr double TINY = 1e-300;
constexpr int BISECTIONS = 200;

// The continued fraction of I_x(a, b), which converges fast for x < (a + 1) / (a + b + 2).
double BetaFraction(double x, double a, double b) {
    double c = 1.0;
    double d = 1.0 - (a + b) * x / (a + 1.0);
    d = 1.0 / (std::abs(d) < TINY ? TINY : d);
    double h = d;
    for (int m = 1; m <= MAX_TERMS; ++m) {
        const double m2 = 2.0 * m;
        for (const double term : {m * (b - m) * x / ((a + m2 - 1.0) * (a + m2)),
                                  -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1.0))}) {
            d = 1.0 + term * d;
            d = 1.0 / (std::abs(d) < TINY ? TINY : d);
            c = 1.0 + term / c;
            c = std::abs(c) < TINY ? TINY : c;
            h *= d * c;
        }
        if (std::abs(d * c - 1.0) < EPSILON) {
            break;
        }
    }
    return h;
}

// The x in [0, 1] where the increasing function `cdf` reaches p.
double Invert(double p, const std::function<double(double)>& cdf) {
    double low = 0.0;
    double high = 1.0;
    for (int i = 0; i < BISECTIONS && high - low > 0.0; ++i) {
        const double middle = 0.5 * (low + high);
        (cdf(middle) < p ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

}  // namespace

double RegularizedBeta(double x, double a, double b) {
    if (x <= 0.0) {
        return 0.0;
    }
    if (x >= 1.0) {
        return 1.0;
    }
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                  a * std::log(x) + b * std::log1p(-x));
    if (x < (a + 1.0) / (a + b + 2.0)) {
        return front * BetaFraction(x, a, b) / a;
    }
    return 1.0 - front * BetaFraction(1.0 - x, b, a) / b;
}

double StudentQuantile(double p, double freedom) {
    const double tail = p < 0.5 ? p : 1.0 - p;
    // x = v / (v + t^2) with I_x(v / 2, 1 / 2) = 2 tail.
    const double x =
        Invert(2.0 * tail, [&](double y) { return RegularizedBeta(y, freedom / 2.0, 0.5); });
    const double t = std::sqrt(freedom * (1.0 - x) / x);
    return p < 0.5 ? -t : t;
}

double FisherQuantile(double p, double numerator, double denominator) {
    const double x =
        Invert(p, [&](double y) { return RegularizedBeta(y, numerator / 2.0, denominator / 2.0); });
    return denominator * x / (numerator * (1.0 - x));
}

}  // namespace wave
