// The audit trail on a real plant server: each row kept once with the station's head, a row the
// server cannot hold set aside while the others go on, and surge-audit finding a row changed on
// the server or taken off the file's end.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "history/recorder.h"
#include "tests/history/server/server_suite.h"
#include "tests/support/work_dir.h"
#include "tests/tools/audit_fixture.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

namespace tt = toolkit_testing;

std::string Joined(const std::vector<std::string>& statements) {
    std::string sql;
    for (const std::string& statement : statements) {
        sql += (sql.empty() ? "" : "; ") + statement;
    }
    return sql;
}

class AuditFeedTest : public ServerSuite {
  protected:
    // The masters' rows written with the station started on a new database `database`, created
    // by `create`, and sent; the station is still up.
    static void Forward(const std::string& database, const std::vector<std::string>& masters,
                        const std::string& create = "") {
        server_->Value((create.empty() ? "CREATE DATABASE " + database : create) + "; SELECT 1",
                       "postgres");
        server_->PointStationHere(database);
        history::Start({});
        WriteTrail(masters);
        ASSERT_TRUE(Await([] { return FileValue("SELECT COUNT(*) FROM audit_outbox") == "0"; }));
    }
    static std::string OnServer(const std::string& sql, const std::string& database) {
        return server_->Value(sql, database);
    }
};

TEST_F(AuditFeedTest, EachRowReachesTheServerOnceWithTheHeadAndARowItCannotHoldIsSetAside) {
    const struct {
        const char* name;
        std::string database;
        std::string create;                // the database, when not plain
        std::vector<std::string> masters;  // saved, a row each
        std::vector<std::string> then;     // on the file once the rows are sent
        const char* on_server;             // the seqs
        const char* set_aside;             // the seqs in audit_refused
    } cases[] = {
        {"every row sent again",
         "audit_again",
         "",
         {"M-01", "M-02", "M-03"},
         {"INSERT INTO audit_outbox SELECT seq FROM audit"},
         "1,2,3",
         ""},
        {"a name a database in EUC_KR cannot hold",
         "audit_euckr",
         "CREATE DATABASE audit_euckr ENCODING 'EUC_KR' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE "
         "template0",
         {"M-01", "똠방각하", "M-03"},
         {},
         "1,3",
         "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        tt::ClearShownPopups();
        Forward(c.database, c.masters, c.create);
        ASSERT_EQ(OnFile(c.then), "");
        EXPECT_TRUE(Await([] { return FileValue("SELECT COUNT(*) FROM audit_outbox") == "0"; }));
        EXPECT_EQ(OnServer("SELECT string_agg(seq::text, ',' ORDER BY seq) FROM audit", c.database),
                  c.on_server);
        EXPECT_EQ(OnServer("SELECT seq || ' ' || hash FROM audit_head", c.database),
                  "3 " + RowOnFile(3).hash);
        EXPECT_EQ(FileValue("SELECT COALESCE(group_concat(seq), '') FROM audit_refused"),
                  c.set_aside);
        const bool refused = *c.set_aside != '\0';
        EXPECT_TRUE(Await([&] { return tt::ShownPopups().size() == (refused ? 1u : 0u); }));
        if (refused) {
            EXPECT_NE(tt::ShownPopups()[0].text.find("변경 기록(감사 기록)을 받지 않았습니다"),
                      std::string::npos)
                << tt::ShownPopups()[0].text;
        }
        history::Stop();
    }
}

TEST_F(AuditFeedTest, VerifyAgainstTheServerFindsRowsChangedThereOrTakenOffTheFilesEnd) {
    const struct {
        const char* name;
        std::function<std::vector<std::string>()> on_server;
        std::vector<std::string> on_file;
        int exit_code;
        std::string says;
    } cases[] = {
        {"as sent",
         [] { return std::vector<std::string>(); },
         {},
         0,
         " holds 4 of them, head seq 4"},
        {"a row edited on the server",
         [] {
             return std::vector<std::string>{"UPDATE audit SET after_value = 'M-02' WHERE seq = 2"};
         },
         {},
         1,
         "the server's seq 2 does not hold: its hash is not the SHA-256 of its text"},
        {"a row deleted on the server",
         [] { return std::vector<std::string>{"DELETE FROM audit WHERE seq = 2"}; },
         {},
         1,
         "the server's seq 3 does not hold: the row before it is seq 1 (seq 2 is missing)"},
        {"a row inserted on the server",
         [] { return InsertForged(RowOnFile(2)); },
         {},
         1,
         "the server's seq 4 does not hold: its hash is not the SHA-256 of its text"},
        {"the newest row deleted on the server",
         [] { return std::vector<std::string>{"DELETE FROM audit WHERE seq = 4"}; },
         {},
         1,
         "the server's head is seq 4 but its rows end at seq 3"},
        {"the newest row taken off the file", [] { return std::vector<std::string>(); },
         Unguarded({"DELETE FROM audit WHERE seq = 4"}), 1,
         "the file ends at seq 3 but the server's head is seq 4: the file's newest rows were "
         "taken away"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        const std::string database = "audit_tampered" + std::to_string(++n);
        Forward(database, {"M-01", "M-02", "M-03", "M-04"});
        history::Stop();
        if (!c.on_server().empty()) {
            OnServer(Joined(c.on_server()) + "; SELECT 1", database);
        }
        ASSERT_EQ(OnFile(c.on_file), "");
        // The station took its password out of the environment; the engineer sets it anew.
        server_->PointStationHere(database);
        const AuditRun run = RunAudit({"verify", "--server"});
        EXPECT_EQ(run.exit_code, c.exit_code) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
}

}  // namespace
