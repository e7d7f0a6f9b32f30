// Quantiles of Student's t and Fisher's F, for prediction limits from a small sample. Both come
// from the regularized incomplete beta function I_x(a, b), evaluated by its continued fraction
// (Lentz's method) and inverted by bisection on x:
//   t: P(T <= t) = 1 - I_(v / (v + t^2))(v / 2, 1 / 2) / 2 for t >= 0,
//   F: P(F <= f) = I_(d1 f / (d1 f + d2))(d1 / 2, d2 / 2).
#pragma once

namespace wave {

// I_x(a, b) for a, b > 0 and x in [0, 1].
double RegularizedBeta(double x, double a, double b);

// The p-quantile (0 < p < 1) of t with `freedom` degrees of freedom.
double StudentQuantile(double p, double freedom);

// The p-quantile (0 < p < 1) of F with (numerator, denominator) degrees of freedom.
double FisherQuantile(double p, double numerator, double denominator);

}  // namespace wave
