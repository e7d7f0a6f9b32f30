// The Western Electric run rules on an individuals chart, checked point by point as readings
// arrive. A point is judged against the centre line CL and sigma; "beyond k sigma" is strictly
// beyond, |x - CL| > k sigma, so a point on a zone boundary is inside it.
//
//   rule 1: the point is beyond 3 sigma;
//   rule 2: the point is beyond 2 sigma, and so is one of the two before it, on the same side;
//   rule 3: the point is beyond 1 sigma, and so are three of the four before it, on the same side;
//   rule 4: the point and the seven before it lie on the same side of CL (a point on CL breaks
//           the run).
//
// A rule is reported on the point that completes its pattern, and again on each following point
// that completes it anew (a run of ten on one side marks its 8th, 9th and 10th points).
// With sigma = 0 (a baseline without variation) only rule 1 is checked: every point off CL
// breaks it, and the zone rules, whose zones have collapsed, would only repeat it.
#pragma once

#include <array>
#include <cstdint>

namespace quality {

// Numbered as the Western Electric rules.
enum class Rule : unsigned {
    BEYOND_3_SIGMA = 1,
    TWO_OF_THREE_BEYOND_2_SIGMA = 2,
    FOUR_OF_FIVE_BEYOND_1_SIGMA = 3,
    EIGHT_ON_ONE_SIDE = 4,
};

// The rules one point breaks: bit (rule - 1) for each.
class RuleSet {
  public:
    constexpr RuleSet() = default;

    constexpr void Add(Rule rule) { bits_ |= 1u << (static_cast<unsigned>(rule) - 1); }
    constexpr bool Has(Rule rule) const {
        return (bits_ >> (static_cast<unsigned>(rule) - 1) & 1u) != 0;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr unsigned Bits() const { return bits_; }
    friend constexpr bool operator==(RuleSet, RuleSet) = default;

  private:
    unsigned bits_ = 0;
};

// Holds only the last RUN_POINTS points, each as its side of CL and the sigma zones it is beyond.
class RunRuleChecker {
  public:
    static constexpr int RUN_POINTS = 8;

    RunRuleChecker(double centre, double sigma) : centre_(centre), sigma_(sigma > 0 ? sigma : 0) {}

    // The rules this point, the newest, completes.
    RuleSet Add(double value);

  private:
    struct Point {
        std::int8_t side;    // -1 below CL, 0 on it, +1 above
        std::int8_t beyond;  // sigma boundaries strictly passed: 0..3
    };
    // Of the newest `points` points, how many lie beyond `zone` sigma on `side`.
    int CountBeyond(int points, int side, int zone) const;

    double centre_;
    double sigma_;
    std::array<Point, RUN_POINTS> recent_{};
    int newest_ = RUN_POINTS - 1;
    int held_ = 0;
};

}  // namespace quality
