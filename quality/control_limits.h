// Limits of the individuals and moving-range (I-MR) charts, from a baseline: a contiguous run of
// readings the caller chooses (by default the first DEFAULT_BASELINE_POINTS production tests of
// a master version, or every reading of a filter).
//
//   CL    = mean of the x                    CL_MR  = MRbar, the mean of MR_i = |x_i - x_(i-1)|
//   sigma = MRbar / d2, d2 = 1.128 (n = 2)   UCL_MR = D4 MRbar, D4 = 3.267
//   UCL   = CL + 3 sigma                     LCL_MR = 0
//   LCL   = CL - 3 sigma (not clipped at 0)
//
// Fewer than two baseline points have no moving range: no limits. A baseline without variation
// (MRbar = 0) has sigma = 0 and UCL = LCL = CL; the run rules then treat any point off the centre
// line as beyond 3 sigma (run_rules.h).
#pragma once

#include <cstdint>
#include <span>

#include "quality/running_stats.h"

namespace quality {

constexpr double D2 = 1.128;
constexpr double D4 = 3.267;
constexpr int DEFAULT_BASELINE_POINTS = 25;

// sigma estimated from the mean moving range: short-term, within-subgroup variation.
constexpr double SigmaWithin(double mean_moving_range) {
    return mean_moving_range / D2;
}

enum class LimitsStatus { AVAILABLE, TOO_FEW_POINTS };

struct ControlLimits {
    LimitsStatus status = LimitsStatus::TOO_FEW_POINTS;
    std::uint64_t count = 0;  // baseline points
    double centre = 0.0;
    double sigma = 0.0;
    double ucl = 0.0;
    double lcl = 0.0;
    double mr_centre = 0.0;
    double mr_ucl = 0.0;
    double mr_lcl = 0.0;

    bool Available() const { return status == LimitsStatus::AVAILABLE; }
};

ControlLimits ComputeLimits(const RunningStats& baseline);
ControlLimits ComputeLimits(std::span<const int> baseline);

}  // namespace quality
