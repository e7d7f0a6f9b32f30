#include "trail/trail_meaning.h"

#include <algorithm>
#include <cstdlib>

namespace trail {

namespace {

using std::chrono::milliseconds;

constexpr long long AHEAD_MS = milliseconds(CLOCK_AHEAD_LIMIT).count();
constexpr long long STEP_BACK_MS = milliseconds(CLOCK_STEP_BACK_LIMIT).count();

// The actions a person gives in their role: the user must exist, be enabled and have that role.
// Every other row (a logout, a failed login, a line stop the station raised) asks only that the
// user existed: a session may outlast a change of its user.
constexpr const char* IN_ROLE[] = {
    AUDIT_LOGIN,          AUDIT_MASTER_SAVED,    AUDIT_MASTER_OVERWRITTEN,     AUDIT_MASTER_DELETED,
    AUDIT_PROGRAM_CHOSEN, AUDIT_USER_ADDED,      AUDIT_USER_DISABLED,          AUDIT_USER_REROLED,
    AUDIT_PASSWORD_SET,   AUDIT_GATE_OVERRIDDEN, AUDIT_LINE_STOP_ACKNOWLEDGED,
};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The digits of `text` from `at`, `count` of them; -1 when one is not a digit.
long long Digits(const std::string& text, std::size_t at, std::size_t count) {
    long long value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string Minutes(long long ms) {
    return std::to_string((ms + 30000) / 60000) + " min";
}

bool Exempt(const std::string& user) {
    return user == "-" || user == "?";
}

// Why the row's user does not hold at this point of the chain; empty when it holds.
std::string UserProblem(const AuditRow& row, const ChainUsers& users) {
    if (Exempt(row.user)) {
        return {};
    }
    const ChainUser* user = users.Find(row.user);
    if (user == nullptr) {
        return "its user " + row.user + " was never added";
    }
    const bool in_role = std::any_of(std::begin(IN_ROLE), std::end(IN_ROLE),
                                     [&row](const char* action) { return row.action == action; });
    if (!in_role) {
        return {};
    }
    if (user->disabled) {
        return "its user " + row.user + " was disabled";
    }
    if (user->role != row.role) {
        return "its user " + row.user + " was " + user->role + ", not " + row.role;
    }
    return {};
}

// Why the row's time does not hold; empty when it holds. A small step back goes to `notes`.
std::string TimeProblem(const AuditRow& row, const AuditRow* before, long long now_ms,
                        long long received_ms, std::vector<std::string>* notes) {
    const std::optional<long long> at = IsoMilliseconds(row.at);
    if (!at) {
        return "its time " + row.at + " is no time";
    }
    if (*at > now_ms + AHEAD_MS) {
        return "its time " + row.at + " is " + Minutes(*at - now_ms) + " after this clock";
    }
    if (received_ms >= 0 && *at > received_ms + AHEAD_MS) {
        return "its time " + row.at + " is " + Minutes(*at - received_ms) +
               " after the server received it";
    }
    const std::optional<long long> previous =
        before == nullptr ? std::nullopt : IsoMilliseconds(before->at);
    if (previous && *at < *previous) {
        const long long back = *previous - *at;
        const std::string step = "its time " + row.at + " is " + std::to_string(back / 1000) +
                                 " s before that of seq " + std::to_string(before->seq);
        if (back > STEP_BACK_MS) {
            return step;
        }
        notes->push_back("seq " + std::to_string(row.seq) + ": " + step + " (a clock set back)");
    }
    return {};
}

}  // namespace

std::optional<long long> IsoMilliseconds(const std::string& text) {
    // yyyy-MM-ddTHH:mm:ss.zzz+hh:mm
    if (text.size() != 29 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != '.' ||
        (text[23] != '+' && text[23] != '-') || text[26] != ':') {
        return std::nullopt;
    }
    const long long parts[] = {Digits(text, 0, 4),  Digits(text, 5, 2),  Digits(text, 8, 2),
                               Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2),
                               Digits(text, 20, 3), Digits(text, 24, 2), Digits(text, 27, 2)};
    if (std::any_of(std::begin(parts), std::end(parts), [](long long p) { return p < 0; }) ||
        parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31 || parts[3] > 23 ||
        parts[4] > 59 || parts[5] > 60 || parts[7] > 23 || parts[8] > 59) {
        return std::nullopt;
    }
    const long long offset_s = (text[23] == '-' ? -1 : 1) * (parts[7] * 3600 + parts[8] * 60);
    const long long seconds = DaysFromCivil(parts[0], parts[1], parts[2]) * 86400 +
                              parts[3] * 3600 + parts[4] * 60 + parts[5] - offset_s;
    return seconds * 1000 + parts[6];
}

bool InTimeOrder(const std::string& at, const std::string& previous_at, long long now_ms) {
    const std::optional<long long> ms = IsoMilliseconds(at);
    if (!ms || *ms > now_ms + AHEAD_MS) {
        return false;
    }
    const std::optional<long long> previous = IsoMilliseconds(previous_at);
    return !previous || *ms >= *previous - STEP_BACK_MS;
}

const ChainUser* ChainUsers::Find(const std::string& name) const {
    const auto found = std::find_if(users.begin(), users.end(),
                                    [&name](const auto& user) { return user.first == name; });
    return found == users.end() ? nullptr : &found->second;
}

void ChainUsers::Read(const AuditRow& row) {
    if (row.action == AUDIT_USER_ADDED) {
        users.emplace_back(row.object, ChainUser{row.after, false, {}});
        return;
    }
    auto found = std::find_if(users.begin(), users.end(),
                              [&row](const auto& user) { return user.first == row.object; });
    if (found == users.end()) {
        return;
    }
    ChainUser& user = found->second;
    if (row.action == AUDIT_USER_DISABLED) {
        user.disabled = true;
    } else if (row.action == AUDIT_USER_REROLED) {
        user.role = row.after;
    } else if (row.action == AUDIT_PASSWORD_SET && !row.after.empty()) {
        user.hash_digest = row.after;
    }
}

MeaningCheck CheckMeaning(const std::vector<AuditRow>& rows, long long now_ms,
                          const std::vector<long long>& received_ms) {
    MeaningCheck check;
    ChainUsers users;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const long long received = i < received_ms.size() ? received_ms[i] : -1;
        std::string why =
            TimeProblem(rows[i], i == 0 ? nullptr : &rows[i - 1], now_ms, received, &check.notes);
        if (why.empty()) {
            why = UserProblem(rows[i], users);
        }
        if (why.empty() && rows[i].action == AUDIT_TRAIL_CUT) {
            why = "the station found its trail cut here: it had written " + rows[i].before;
        }
        if (!why.empty()) {
            check.broken = ChainBreak{i, why};
            return check;
        }
        users.Read(rows[i]);
    }
    return check;
}

}  // namespace trail
