// surge-audit on the station's file: a row edited, deleted or inserted is found, a file that
// cannot be read is told apart, the export is the trail as written, oldest first, and rows of
// both kinds of canonical text hold in one chain.
#include <gtest/gtest.h>

#include <functional>

#include "records/record_fields.h"
#include "tests/support/work_dir.h"
#include "tests/tools/audit_fixture.h"

namespace {

const std::vector<std::string> MASTERS = {"M-01", "M-02", "M-03", "M-04"};

// What verify says of the row `seq` as written, before `why`.
std::string DoesNotHold(long long seq, long long now_seq, const std::string& why) {
    const trail::AuditRow row = RowOnFile(seq);
    return "seq " + std::to_string(now_seq) + " (" + row.at + ", master saved, " + row.object +
           ") does not hold: " + why;
}

TEST(AuditToolTest, VerifyTellsTheFirstRowThatDoesNotHoldAndWhy) {
    const struct {
        const char* name;
        std::function<std::vector<std::string>()> tamper;
        int exit_code;
        std::function<std::string()> says;  // read off the file as written
    } cases[] = {
        {"as written", [] { return std::vector<std::string>(); }, 0,
         [] { return "the chain holds: 4 rows, head seq 4 " + RowOnFile(4).hash; }},
        {"a row edited",
         [] {
             return Unguarded(
                 {"UPDATE audit SET after_value = 'M-02 9.9 5 10 7 7 0' WHERE seq = 2"});
         },
         1, [] { return DoesNotHold(2, 2, "its hash is not the SHA-256 of its text"); }},
        {"a row deleted", [] { return Unguarded({"DELETE FROM audit WHERE seq = 2"}); }, 1,
         [] { return DoesNotHold(3, 3, "the row before it is seq 1 (seq 2 is missing)"); }},
        {"a row inserted with its own hash right",
         [] { return Unguarded(InsertForged(RowOnFile(2))); }, 1,
         [] { return DoesNotHold(3, 4, "its hash is not the SHA-256 of its text"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        WriteTrail(MASTERS);
        const std::string says = c.says();
        ASSERT_EQ(OnFile(c.tamper()), "");
        const AuditRun run = RunAudit({"verify"});
        EXPECT_EQ(run.exit_code, c.exit_code) << run.output;
        EXPECT_NE(run.output.find(says), std::string::npos) << says << "\n" << run.output;
    }
}

TEST(AuditToolTest, AFileOrACommandThatCannotBeUsedIsExitTwoAndSaysWhy) {
    const struct {
        const char* name;
        const char* file;  // the bytes of the file given, or nullptr for none
        QStringList arguments;
        std::string says;
    } cases[] = {
        {"no such file", nullptr, {"verify", "absent.db"}, "there is no such file"},
        {"no database", "not a database at all", {"verify", "text.db"}, "file is not a database"},
        {"a database without a trail", "", {"export", "empty.db"}, "no such table: audit"},
        {"an unknown command", nullptr, {"check"}, "usage: surge-audit verify"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        if (c.file != nullptr) {
            WriteWholeFile(c.arguments.back().toStdString(), c.file);
        }
        const AuditRun run = RunAudit(c.arguments);
        EXPECT_EQ(run.exit_code, 2) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
}

TEST(AuditToolTest, ExportWritesTheTrailOldestFirstWithFormulaSafeCells) {
    ScopedWorkDir dir;
    WriteTrail({"M-01", "=HYPERLINK(\"x\")", "FAN,2"});
    const AuditRun run = RunAudit({"export", records::DATABASE_FILE});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const std::string header =
        "\xEF\xBB\xBFseq,at,station,user_name,role,action,object,before_value,after_value,reason,"
        "prev_hash,hash,code\r\n";
    ASSERT_EQ(run.output.substr(0, header.size()), header);
    const std::string rows[] = {"1," + RowOnFile(1).at, "2," + RowOnFile(2).at,
                                "3," + RowOnFile(3).at};
    const std::string objects[] = {",M-01,", ",\"'=HYPERLINK(\"\"x\"\")\",", ",\"FAN,2\","};
    std::size_t at = header.size();
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = run.output.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = run.output.substr(at, end - at);
        EXPECT_EQ(line.substr(0, rows[i].size()), rows[i]);
        EXPECT_NE(line.find(objects[i]), std::string::npos) << line;
        at = end + 2;
    }
    EXPECT_EQ(at, run.output.size());
}

}  // namespace

TEST(AuditToolTest, AFileUpgradedWithRowsOfTheFirstKindHoldsWithTheRowsWrittenSince) {
    ScopedWorkDir dir;
    ASSERT_TRUE(trail::OpenAccessDatabase());
    trail::CloseAccessDatabase();
    // Two rows as a station of the file's version 4 wrote them: no software version.
    std::vector<std::string> earlier;
    std::string prev = trail::GENESIS;
    for (long long seq : {1, 2}) {
        trail::AuditRow row;
        row.seq = seq;
        row.at = "2026-12-0" + std::to_string(seq) + "T08:00:00.000+09:00";
        row.station = "L1";
        row.user = row.role = "-";
        row.action = trail::AUDIT_MASTER_SAVED;
        row.object = "M-0" + std::to_string(seq);
        row.prev_hash = prev;
        row.hash = prev = trail::Sha256Hex(trail::CanonicalText(row));
        earlier.push_back(std::string("INSERT INTO audit (") + records::AUDIT_COLUMNS +
                          ") VALUES (" + std::to_string(seq) + ", '" + row.at + "', 'L1', '-', " +
                          "'-', 'master saved', '" + row.object + "', '', '', '', '" +
                          row.prev_hash + "', '" + row.hash + "')");
    }
    ASSERT_EQ(OnFile(earlier), "");
    WriteTrail({"M-03"});
    EXPECT_EQ(RowOnFile(1).software_version, "");
    EXPECT_EQ(RowOnFile(3).software_version, records::SoftwareVersion().toStdString());
    const AuditRun run = RunAudit({"verify"});
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("the chain holds: 3 rows"), std::string::npos) << run.output;
}

TEST(AuditToolTest, VersionPrintsTheProgramsVersionAndCommit) {
    const AuditRun run = RunAudit({"--version"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, "surge-audit " + records::SoftwareVersion().toStdString() + "\n");
}
