#include "gates/gate_rules.h"

#include <algorithm>
#include <ctime>

namespace gates {

using settings::ReferenceUnit;

bool RetestLimitReached(const settings::RetestSettings& settings, int tests, int ok) {
    return settings.enabled && ok == 0 && tests >= settings.max_attempts;
}

std::string LineStopRule(const settings::LineStopSettings& settings,
                         const std::vector<Outcome>& newest_first) {
    if (!settings.enabled) {
        return std::string();
    }
    const auto row_end = std::find_if(newest_first.begin(), newest_first.end(),
                                      [](Outcome o) { return o != Outcome::NG; });
    if (row_end - newest_first.begin() >= settings.in_a_row) {
        return "N.G " + std::to_string(settings.in_a_row) + " 회 연속";
    }
    const auto last =
        newest_first.begin() + std::min<std::ptrdiff_t>(settings.of_last, std::ssize(newest_first));
    const auto ng = std::count(newest_first.begin(), last, Outcome::NG);
    if (ng >= settings.ng_of_last) {
        return "최근 " + std::to_string(last - newest_first.begin()) + " 개 중 N.G " +
               std::to_string(ng) + " 개";
    }
    return std::string();
}

TimePoint LatestShiftStart(TimePoint now, const std::vector<int>& shifts) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const int minute = local.tm_hour * 60 + local.tm_min;
    // The latest shift that began today, else the day's last one yesterday.
    int start = -1;
    for (const int shift : shifts) {
        if (shift <= minute) {
            start = shift;
        }
    }
    if (start < 0) {
        start = shifts.empty() ? 0 : shifts.back();
        --local.tm_mday;
    }
    local.tm_hour = start / 60;
    local.tm_min = start % 60;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

void ReferenceCheck::Begin(const MasterKey& master, TimePoint shift_start) {
    if (!(checking_ == master) || begun_ < shift_start) {
        checking_ = master;
        begun_ = shift_start;
        judged_.clear();
    }
}

std::vector<ReferenceUnit> ReferenceCheck::Waiting(const MasterKey& master,
                                                   const std::vector<ReferenceUnit>& units,
                                                   TimePoint shift_start) {
    if (PassedAt(master, shift_start)) {
        return {};
    }
    Begin(master, shift_start);
    std::vector<ReferenceUnit> waiting;
    for (const ReferenceUnit& unit : units) {
        if (std::find(judged_.begin(), judged_.end(), unit.serial) == judged_.end()) {
            waiting.push_back(unit);
        }
    }
    return waiting;
}

bool ReferenceCheck::Judge(const MasterKey& master, const std::vector<ReferenceUnit>& units,
                           const ReferenceUnit& unit, Outcome outcome, TimePoint now,
                           TimePoint shift_start) {
    Begin(master, shift_start);
    if (outcome != unit.expected) {
        judged_.clear();
        passed_.reset();
        return false;
    }
    if (std::find(judged_.begin(), judged_.end(), unit.serial) == judged_.end()) {
        judged_.push_back(unit.serial);
    }
    if (!PassedAt(master, shift_start) && Waiting(master, units, shift_start).empty()) {
        passed_ = master;
        passed_at_ = now;
    }
    return true;
}

void ReferenceCheck::Override(const MasterKey& master, TimePoint now) {
    passed_ = master;
    passed_at_ = now;
}

std::optional<TimePoint> ReferenceCheck::PassedAt(const MasterKey& master,
                                                  TimePoint shift_start) const {
    if (passed_ && *passed_ == master && passed_at_ >= shift_start) {
        return passed_at_;
    }
    return std::nullopt;
}

}  // namespace gates
