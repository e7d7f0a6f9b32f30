// What the rows of a trail say, read along the chain: whether each row's time is plausible, and
// whether its user existed, was enabled and had that role at that point. A chain whose hashes hold
// can still be a forgery; these are the checks a forger's plausible rows must also pass. Plain C++.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "trail/audit_row.h"

namespace trail {

// A row's time may lie this far after the clock that judges it (the verifier's, the server's
// receipt, the station's own for the gates): clocks of a plant drift.
inline constexpr std::chrono::minutes CLOCK_AHEAD_LIMIT{5};
// A row's time may lie this far before the row before it (a clock corrected): reported, not a
// failure; further back, a failure.
inline constexpr std::chrono::minutes CLOCK_STEP_BACK_LIMIT{2};

// Milliseconds since the epoch of an ISO 8601 time with milliseconds and an offset
// ("2026-12-09T10:15:02.123+09:00"); nothing when `text` is not one.
std::optional<long long> IsoMilliseconds(const std::string& text);

// Whether a row at `at` is in the order of its chain: not after `now_ms` by more than
// CLOCK_AHEAD_LIMIT and not before `previous_at` (the row before it; empty for the first) by more
// than CLOCK_STEP_BACK_LIMIT. The gates ignore a row that is not.
bool InTimeOrder(const std::string& at, const std::string& previous_at, long long now_ms);

struct MeaningCheck {
    std::optional<ChainBreak> broken;  // the first row whose meaning does not hold
    std::vector<std::string> notes;    // what is reported but holds: a clock set back a little
};

// Reads `rows` (a chain in seq order) for their meaning. `received_ms[i]`, where given (the
// server's copy), is when the server received rows[i], -1 where it does not know.
MeaningCheck CheckMeaning(const std::vector<AuditRow>& rows, long long now_ms,
                          const std::vector<long long>& received_ms = {});

// A user as the chain's own rows describe them at some point.
struct ChainUser {
    std::string role;
    bool disabled = false;
    std::string hash_digest;  // SHA-256 of the stored password hash; empty before one was recorded
};

// The users as the chain says they are after `rows`, by name.
struct ChainUsers {
    std::vector<std::pair<std::string, ChainUser>> users;
    const ChainUser* Find(const std::string& name) const;
    // Takes one row into account.
    void Read(const AuditRow& row);
};

}  // namespace trail
