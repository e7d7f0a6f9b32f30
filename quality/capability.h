// Process capability against an upper limit (USL) only: the readings are differences
// (>= 0, smaller is better) and the USL is the judgement setting recorded with each test.
//
//   Cpk              = (USL - mean) / (3 sigma_within), sigma_within = MRbar / 1.128
//   Ppk              = (USL - mean) / (3 s), s the overall sample standard deviation (n - 1)
//   percentile index = (USL - X50) / (X99.865 - X50): the percentile method of ISO 22514-2 for
//                      the upper side; X50 the median, X99.865 the 99.865th percentile, both by
//                      linear interpolation between order statistics (percentile.h)
//
// Each index carries the count of records it rests on. Cpk and Ppk need two records, the
// percentile index MIN_PERCENTILE_RECORDS; a zero denominator (no spread) makes an index not
// computable: no value is ever infinite or NaN.
#pragma once

#include <cstdint>

#include "quality/accumulator.h"

namespace quality {

constexpr std::uint64_t MIN_SIGMA_RECORDS = 2;
constexpr std::uint64_t MIN_PERCENTILE_RECORDS = 125;

enum class IndexStatus { COMPUTED, TOO_FEW_RECORDS, NOT_COMPUTABLE };

struct CapabilityIndex {
    IndexStatus status = IndexStatus::TOO_FEW_RECORDS;
    double value = 0.0;  // meaningful only when COMPUTED
    std::uint64_t count = 0;
};

struct Capability {
    CapabilityIndex cpk;
    CapabilityIndex ppk;
    CapabilityIndex percentile_index;
};

Capability ComputeCapability(const Accumulator& records, int usl);

// The panel's colour for a computed index.
constexpr double RED_BELOW = 1.33;
constexpr double AMBER_BELOW = 1.67;

enum class CapabilityClass { NORMAL, AMBER, RED };

constexpr CapabilityClass ClassifyIndex(double value) {
    return value < RED_BELOW     ? CapabilityClass::RED
           : value < AMBER_BELOW ? CapabilityClass::AMBER
                                 : CapabilityClass::NORMAL;
}

}  // namespace quality
