// The audit row's canonical text, the bytes its hash is taken of: the first kind for the rows
// written before the software version was kept, the second with it; a chain may hold both.
#include <gtest/gtest.h>

#include "access/audit_row.h"
#include "access/digest.h"

namespace {

using access_control::AuditRow;

AuditRow Row(long long seq, const std::string& version, const std::string& prev) {
    AuditRow row;
    row.seq = seq;
    row.at = "2026-12-09T10:15:02.123+09:00";
    row.station = "LINE-3";
    row.user = "kim";
    row.role = "engineer";
    row.action = access_control::AUDIT_MASTER_SAVED;
    row.object = "M-01";
    row.after = "M-01 4.5 5 10 7 7 0";
    row.reason = "a\\b\nc";
    row.prev_hash = prev;
    row.software_version = version;
    row.hash = access_control::Sha256Hex(access_control::CanonicalText(row));
    return row;
}

TEST(AuditRowTest, TheCanonicalTextIsOfTheFirstKindWithoutAVersionAndOfTheSecondWithIt) {
    const std::string fields_after_station =
        "user=kim\nrole=engineer\naction=master saved\nobject=M-01\nbefore=\n"
        "after=M-01 4.5 5 10 7 7 0\nreason=a\\\\b\\nc\nprev=" +
        access_control::GENESIS + "\n";
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
        EXPECT_EQ(access_control::CanonicalText(Row(1, c.version, access_control::GENESIS)),
                  c.text);
    }
}

TEST(AuditRowTest, AChainOfRowsOfBothKindsHoldsAndAVersionChangedOrTakenAwayBreaksIt) {
    std::vector<AuditRow> rows = {Row(1, "", access_control::GENESIS)};
    rows.push_back(Row(2, "", rows.back().hash));
    rows.push_back(Row(3, "1.0.0 (abc1234)", rows.back().hash));
    rows.push_back(Row(4, "1.1.0 (def5678)", rows.back().hash));
    const auto first_broken = [](std::vector<AuditRow> chain) {
        std::vector<std::string> computed;
        for (const AuditRow& row : chain) {
            computed.push_back(access_control::Sha256Hex(access_control::CanonicalText(row)));
        }
        return access_control::FirstBrokenRow(chain, computed);
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
