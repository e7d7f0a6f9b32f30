#include "quality/run_rules.h"

#include <cmath>

namespace quality {

RuleSet RunRuleChecker::Add(double value) {
    const double deviation = value - centre_;
    const double distance = std::fabs(deviation);
    Point point{static_cast<std::int8_t>(deviation > 0 ? 1 : deviation < 0 ? -1 : 0), 0};
    for (int zone = 1; zone <= 3 && distance > zone * sigma_; ++zone) {
        point.beyond = static_cast<std::int8_t>(zone);
    }
    newest_ = (newest_ + 1) % RUN_POINTS;
    recent_[static_cast<std::size_t>(newest_)] = point;
    held_ = held_ < RUN_POINTS ? held_ + 1 : RUN_POINTS;

    RuleSet rules;
    if (point.beyond >= 3) {
        rules.Add(Rule::BEYOND_3_SIGMA);
    }
    if (sigma_ <= 0.0 || point.side == 0) {
        return rules;
    }
    if (point.beyond >= 2 && CountBeyond(3, point.side, 2) >= 2) {
        rules.Add(Rule::TWO_OF_THREE_BEYOND_2_SIGMA);
    }
    if (point.beyond >= 1 && CountBeyond(5, point.side, 1) >= 4) {
        rules.Add(Rule::FOUR_OF_FIVE_BEYOND_1_SIGMA);
    }
    if (CountBeyond(RUN_POINTS, point.side, 0) == RUN_POINTS) {
        rules.Add(Rule::EIGHT_ON_ONE_SIDE);
    }
    return rules;
}

int RunRuleChecker::CountBeyond(int points, int side, int zone) const {
    int count = 0;
    for (int back = 0; back < points && back < held_; ++back) {
        const Point& p =
            recent_[static_cast<std::size_t>((newest_ - back + RUN_POINTS) % RUN_POINTS)];
        if (p.side == side && p.beyond >= zone) {
            ++count;
        }
    }
    return count;
}

}  // namespace quality
