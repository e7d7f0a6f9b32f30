#include "quality/drift.h"

namespace quality {

RuleSet CheckDrift(const ControlLimits& limits, std::span<const int> recent) {
    if (!limits.Available() || recent.empty()) {
        return {};
    }
    if (recent.size() > RunRuleChecker::RUN_POINTS) {
        recent = recent.last(RunRuleChecker::RUN_POINTS);
    }
    RunRuleChecker checker(limits.centre, limits.sigma);
    RuleSet newest;
    for (const int value : recent) {
        newest = checker.Add(value);
    }
    return newest;
}

}  // namespace quality
