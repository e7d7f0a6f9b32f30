// A drift signal after a cycle: the run rules the master's newest readings broke, per item, and
// with [drift] wave whether the EWMA of the wave's frequency or damping is beyond its limit.
#pragma once

#include <string>

#include "quality/run_rules.h"

namespace history {

// What a drift alarm's text, and a line stop's rule on it, begin with.
constexpr const char* DRIFT_PREFIX = "추세 경고";

struct Drift {
    quality::RuleSet area;
    quality::RuleSet phase;
    bool frequency = false;
    bool damping = false;

    bool Signal() const { return !area.Empty() || !phase.Empty() || frequency || damping; }
};

// "추세 경고: 면적 규칙 1, 위상 규칙 4", "추세 경고: 주파수 EWMA, 감쇠 EWMA"; empty without a
// signal.
std::string DriftText(const Drift& drift);
// The same as the rule of a line stop: "추세 경고 면적 규칙 1, 위상 규칙 4".
std::string DriftRule(const Drift& drift);

}  // namespace history
