// What the start of a cycle asks of the history, in values: a unit's tests within the window of
// attempts, and a master's latest production verdicts.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "values/outcome.h"

namespace history {

using TimePoint = std::chrono::system_clock::time_point;

struct UnitTests {
    int tests = 0;  // with a verdict
    int ok = 0;
};

// Whether the history can be read for the gates (it is off with SURGE_HISTORY=off, or its file
// cannot be opened).
bool Readable();
// The tests of `serial` started in the `window_days` days before `now`; none for an empty serial
// (a record without one is a unit of its own) or without a history.
UnitTests TestsOfUnit(const std::string& serial, TimePoint now, int window_days);
// Up to `count` verdicts of `master`'s production tests started after `since` and after its last
// line stop acknowledged in the audit trail, newest first.
std::vector<Outcome> LatestVerdicts(const std::string& master, TimePoint since, int count);

// `master`'s latest line stop in the audit trail when no acknowledgement followed it: its code
// (audit_row.h's CODE_STOP_*; empty in a row written before codes were kept) and its rule.
struct LineStopRow {
    std::string code;
    std::string rule;
};
std::optional<LineStopRow> UnacknowledgedStop(const std::string& master);

struct ReferenceTest {
    std::string serial;
    Outcome outcome = Outcome::OK;
    TimePoint at;
};
// The reference units' tests of `master` at `master_version` started at `since` or later, oldest
// first.
std::vector<ReferenceTest> ReferenceTests(const std::string& master,
                                          const std::string& master_version, TimePoint since);

}  // namespace history
