// The drift check after each inspection: the run rules the newest reading of a master breaks.
#pragma once

#include <span>

#include "quality/control_limits.h"
#include "quality/run_rules.h"

namespace quality {

// recent: the master's last readings, newest last; only the last RunRuleChecker::RUN_POINTS
// count, so the check costs a few dozen comparisons. Nothing is broken without limits.
RuleSet CheckDrift(const ControlLimits& limits, std::span<const int> recent);

}  // namespace quality
