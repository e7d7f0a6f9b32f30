// The gates' rules, in values: the retest limit, the line stop and the reference check. Plain C++,
// so that the decisions are tested without a panel or a database.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "settings/station_settings.h"
#include "values/outcome.h"

namespace gates {

using TimePoint = std::chrono::system_clock::time_point;

// A unit with `tests` tests in the window, `ok` of them O.K, has reached the retest limit.
bool RetestLimitReached(const settings::RetestSettings& settings, int tests, int ok);

// The line stop rule that `newest_first` (a master's latest production verdicts) breaks, as the
// operator reads it ("N.G 3 회 연속", "최근 10 개 중 N.G 3 개"); empty when it breaks none.
std::string LineStopRule(const settings::LineStopSettings& settings,
                         const std::vector<Outcome>& newest_first);

// The latest shift start at or before `now` (local time), from the shifts' minutes since midnight.
TimePoint LatestShiftStart(TimePoint now, const std::vector<int>& shifts);

// The master as the main panel carries it: a new name or version asks for the check again.
struct MasterKey {
    std::string name;
    std::string version;
    bool operator==(const MasterKey&) const = default;
};

// The reference check of the master carried to the main panel: production waits until each of
// its reference units was tested and judged as expected, after each shift start and after a
// change of master.
class ReferenceCheck {
  public:
    // The master's reference units not yet judged as expected since the check began; empty when
    // the check has passed (or the master has no reference units).
    std::vector<settings::ReferenceUnit> Waiting(const MasterKey& master,
                                                 const std::vector<settings::ReferenceUnit>& units,
                                                 TimePoint shift_start);
    // A reference unit's verdict: true when it is the expected one; a wrong one begins the check
    // anew. The check passes at the last expected verdict.
    bool Judge(const MasterKey& master, const std::vector<settings::ReferenceUnit>& units,
               const settings::ReferenceUnit& unit, Outcome outcome, TimePoint now,
               TimePoint shift_start);
    // An engineer let production go without the check.
    void Override(const MasterKey& master, TimePoint now);
    // When the check of `master` passed in this shift; nothing while it has not.
    std::optional<TimePoint> PassedAt(const MasterKey& master, TimePoint shift_start) const;

  private:
    void Begin(const MasterKey& master, TimePoint shift_start);

    MasterKey checking_;
    TimePoint begun_{};
    std::vector<std::string> judged_;  // serials judged as expected since the check began
    std::optional<MasterKey> passed_;
    TimePoint passed_at_{};
};

}  // namespace gates
