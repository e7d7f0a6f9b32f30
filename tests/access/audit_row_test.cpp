// The audit row's canonical text, the bytes its hash is taken of: the first kind for the rows
// written before the software version was kept, the second with it; a chain may hold both.
#include <gtest/gtest.h>

#include "trail/audit_row.h"
#include "trail/digest.h"
#include "trail/trail_meaning.h"

namespace {

using trail::AuditRow;

AuditRow Row(long long seq, const std::string& version, const std::string& prev) {
    AuditRow row;
    row.seq = seq;
    row.at = "2026-12-09T10:15:02.123+09:00";
    row.station = "LINE-3";
    row.user = "kim";
    row.role = "engineer";
    row.action = trail::AUDIT_MASTER_SAVED;
    row.object = "M-01";
    row.after = "M-01 4.5 5 10 7 7 0";
    row.reason = "a\\b\nc";
    row.prev_hash = prev;
    row.software_version = version;
    row.hash = trail::Sha256Hex(trail::CanonicalText(row));
    return row;
}

TEST(AuditRowTest, TheCanonicalTextIsOfTheFirstKindWithoutAVersionAndOfTheSecondWithIt) {
    const std::string fields_after_station =
        "user=kim\nrole=engineer\naction=master saved\nobject=M-01\nbefore=\n"
        "after=M-01 4.5 5 10 7 7 0\nreason=a\\\\b\\nc\nprev=" +
        trail::GENESIS + "\n";
    const struct {
        const char* version;
        std::string text;
    } cases[] = {
        {"", "surge-audit 1\nseq=1\nat=2026-12-09T10:15:02.123+09:00\nstation=LINE-3\n" +
                 fields_after_station},
        {"1.0.0 (abc1234)",
         "surge-audit 2\nseq=1\nat=2026-12-09T10:15:02.123+09:00\nstation=LINE-3\n"
         "version=1.0.0 (abc1234)\n" +
             fields_after_station},
        {"1.0.0 (abc1234-dirty)\n",
         "surge-audit 2\nseq=1\nat=2026-12-09T10:15:02.123+09:00\nstation=LINE-3\n"
         "version=1.0.0 (abc1234-dirty)\\n\n" +
             fields_after_station},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(trail::CanonicalText(Row(1, c.version, trail::GENESIS)), c.text);
    }
}

TEST(AuditRowTest, AChainOfRowsOfBothKindsHoldsAndAVersionChangedOrTakenAwayBreaksIt) {
    std::vector<AuditRow> rows = {Row(1, "", trail::GENESIS)};
    rows.push_back(Row(2, "", rows.back().hash));
    rows.push_back(Row(3, "1.0.0 (abc1234)", rows.back().hash));
    rows.push_back(Row(4, "1.1.0 (def5678)", rows.back().hash));
    const auto first_broken = [](std::vector<AuditRow> chain) {
        std::vector<std::string> computed;
        for (const AuditRow& row : chain) {
            computed.push_back(trail::Sha256Hex(trail::CanonicalText(row)));
        }
        return trail::FirstBrokenRow(chain, computed);
    };
    const struct {
        const char* name;
        std::size_t row;
        const char* version;  // nullptr: as written
        long long broken;
    } cases[] = {
        {"as written", 0, nullptr, -1},
        {"a version given to a row of the first kind", 1, "1.0.0 (abc1234)", 1},
        {"a version taken away", 2, "", 2},
        {"a version changed", 3, "1.0.0 (abc1234)", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<AuditRow> chain = rows;
        if (c.version != nullptr) {
            chain[c.row].software_version = c.version;
        }
        EXPECT_EQ(first_broken(chain), c.broken);
    }
}

}  // namespace

namespace {

// A row of `action` by `user` at `at`, of `object` with `after`.
AuditRow Said(const std::string& at, const std::string& user, const std::string& role,
              const char* action, const std::string& object = "", const std::string& after = "") {
    AuditRow row;
    row.at = at;
    row.user = user;
    row.role = role;
    row.action = action;
    row.object = object;
    row.after = after;
    return row;
}

}  // namespace

TEST(AuditRowTest, WhatTheRowsSayIsReadAlongTheChain) {
    namespace ac = trail;
    const std::string t0 = "2026-12-09T10:00:00.000+09:00";
    const long long now = *ac::IsoMilliseconds(t0) + 3600 * 1000;
    const std::vector<AuditRow> users = {
        Said(t0, "-", "-", ac::AUDIT_USER_ADDED, "admin", "administrator"),
        Said(t0, "admin", "administrator", ac::AUDIT_USER_ADDED, "kim", "engineer"),
    };
    const struct {
        const char* name;
        std::vector<AuditRow> then;  // after the users above
        std::vector<long long> received;
        std::string broken;  // why the first row that does not hold fails; empty for none
        std::size_t notes;
    } cases[] = {
        {"as written", {Said(t0, "kim", "engineer", ac::AUDIT_MASTER_SAVED)}, {}, "", 0},
        {"another offset, the same time",
         {Said("2026-12-09T01:00:00.000+00:00", "kim", "engineer", ac::AUDIT_MASTER_SAVED)},
         {},
         "",
         0},
        {"far after the verifier's clock",
         {Said("2026-12-09T12:00:00.000+09:00", "kim", "engineer", ac::AUDIT_MASTER_SAVED)},
         {},
         "its time 2026-12-09T12:00:00.000+09:00 is 60 min after this clock",
         0},
        {"long after the server received it",
         {Said("2026-12-09T10:30:00.000+09:00", "kim", "engineer", ac::AUDIT_MASTER_SAVED)},
         {-1, -1, *ac::IsoMilliseconds(t0)},
         "is 30 min after the server received it",
         0},
        {"a clock set back a minute",
         {Said("2026-12-09T09:59:00.000+09:00", "kim", "engineer", ac::AUDIT_MASTER_SAVED)},
         {},
         "",
         1},
        {"a clock set back ten minutes",
         {Said("2026-12-09T09:50:00.000+09:00", "kim", "engineer", ac::AUDIT_MASTER_SAVED)},
         {},
         "is 600 s before that of seq",
         0},
        {"no time", {Said("yesterday", "kim", "engineer", ac::AUDIT_LOGIN)}, {}, "is no time", 0},
        {"a user never added",
         {Said(t0, "lee", "engineer", ac::AUDIT_LOGOUT)},
         {},
         "its user lee was never added",
         0},
        {"a role the user did not have",
         {Said(t0, "kim", "administrator", ac::AUDIT_USER_DISABLED, "admin")},
         {},
         "its user kim was engineer, not administrator",
         0},
        {"a disabled user's override",
         {Said(t0, "admin", "administrator", ac::AUDIT_USER_DISABLED, "kim"),
          Said(t0, "kim", "engineer", ac::AUDIT_GATE_OVERRIDDEN)},
         {},
         "its user kim was disabled",
         0},
        {"a disabled user's session ending",
         {Said(t0, "admin", "administrator", ac::AUDIT_USER_DISABLED, "kim"),
          Said(t0, "kim", "engineer", ac::AUDIT_LOGOUT)},
         {},
         "",
         0},
        {"a re-roled user in the new role",
         {Said(t0, "admin", "administrator", ac::AUDIT_USER_REROLED, "kim", "operator"),
          Said(t0, "kim", "operator", ac::AUDIT_LOGIN)},
         {},
         "",
         0},
        {"the station found its trail cut",
         {Said(t0, "-", "-", ac::AUDIT_TRAIL_CUT)},
         {},
         "the station found its trail cut here",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<AuditRow> rows = users;
        rows.insert(rows.end(), c.then.begin(), c.then.end());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i].seq = static_cast<long long>(i) + 1;
        }
        const ac::MeaningCheck check = ac::CheckMeaning(rows, now, c.received);
        const std::string why = check.broken ? check.broken->why : std::string();
        if (c.broken.empty()) {
            EXPECT_EQ(why, "");
        } else {
            EXPECT_NE(why.find(c.broken), std::string::npos) << why;
        }
        EXPECT_EQ(check.notes.size(), c.notes);
    }
}
