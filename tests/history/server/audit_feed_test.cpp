// The audit trail on a real plant server: each row kept once with the station's head, a row the
// server cannot hold stopping the chain there, and surge-audit finding a row changed on a witness
// server or taken off the file's end.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "history/recorder.h"
#include "records/record_fields.h"
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
    // by `create` (a witness with the station's own login when `witness`), and sent as far as
    // the server takes them (the outbox then holds `waiting`); the station is still up.
    static void Forward(const std::string& database, const std::vector<std::string>& masters,
                        const std::string& create = "", bool witness = false,
                        const std::string& waiting = "") {
        server_->Value((create.empty() ? "CREATE DATABASE " + database : create) + "; SELECT 1",
                       "postgres");
        if (witness) {
            ASSERT_NE(MakeWitness(database, records::StationName().toStdString(), "line3"), "");
            PointStationAs(database, "line3");
        } else {
            server_->PointStationHere(database);
        }
        history::Start({});
        WriteTrail(masters);
        ASSERT_TRUE(Await([&waiting] {
            return FileValue("SELECT COALESCE(group_concat(seq), '') FROM audit_outbox") == waiting;
        }));
    }
    static std::string OnServer(const std::string& sql, const std::string& database) {
        return server_->Value(sql, database);
    }
};

TEST_F(AuditFeedTest, EachRowReachesTheServerOnceWithTheHeadAndARowItCannotHoldStopsTheChain) {
    const struct {
        const char* name;
        std::string database;
        std::string create;                // the database, when not plain
        bool witness;                      // set up by setup-server
        std::vector<std::string> masters;  // saved, a row each
        std::vector<std::string> then;     // on the file once the rows are sent
        const char* on_server;             // the seqs
        const char* waiting;               // the seqs left in audit_outbox
    } cases[] = {
        {"every row sent again",
         "audit_again",
         "",
         false,
         {"M-01", "M-02", "M-03"},
         {"INSERT INTO audit_outbox SELECT seq FROM audit"},
         "1,2,3",
         ""},
        {"every row sent again to a witness",
         "audit_again_witness",
         "",
         true,
         {"M-01", "M-02", "M-03"},
         {"INSERT INTO audit_outbox SELECT seq FROM audit"},
         "1,2,3",
         ""},
        {"a name a database in EUC_KR cannot hold",
         "audit_euckr",
         "CREATE DATABASE audit_euckr ENCODING 'EUC_KR' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE "
         "template0",
         true,
         {"M-01", "똠방각하", "M-03"},
         {},
         "1",
         "2,3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        tt::ClearShownPopups();
        Forward(c.database, c.masters, c.create, c.witness, c.waiting);
        ASSERT_EQ(OnFile(c.then), "");
        EXPECT_TRUE(Await([&c] {
            return FileValue("SELECT COALESCE(group_concat(seq), '') FROM audit_outbox") ==
                   c.waiting;
        }));
        EXPECT_EQ(OnServer("SELECT string_agg(seq::text, ',' ORDER BY seq) FROM audit", c.database),
                  c.on_server);
        const long long head = *c.waiting == '\0' ? 3 : 1;
        EXPECT_EQ(OnServer("SELECT seq || ' ' || hash FROM audit_head", c.database),
                  std::to_string(head) + " " + RowOnFile(head).hash);
        const bool refused = *c.waiting != '\0';
        EXPECT_TRUE(Await([&] { return tt::ShownPopups().size() == (refused ? 1u : 0u); }));
        if (refused) {
            EXPECT_NE(tt::ShownPopups()[0].text.find("변경 기록(감사 기록) 2 번을 받지 않았습니다"),
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
         " holds 4 of the rows, head seq 4"},
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
         [] {
             std::vector<std::string> sql = {"ALTER TABLE audit DISABLE TRIGGER audit_arrives"};
             const std::vector<std::string> forged = InsertForged(RowOnFile(2));
             sql.insert(sql.end(), forged.begin(), forged.end());
             return sql;
         },
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
        Forward(database, {"M-01", "M-02", "M-03", "M-04"}, "", true);
        history::Stop();
        // As the plant's DBA, whom nothing on the server stops.
        if (!c.on_server().empty()) {
            OnServer(Joined(c.on_server()) + "; SELECT 1", database);
        }
        ASSERT_EQ(OnFile(c.on_file), "");
        // The station took its password out of the environment; the engineer sets it anew.
        PointStationAs(database, "line3");
        const AuditRun run = RunAudit({"verify", "--server"});
        EXPECT_EQ(run.exit_code, c.exit_code) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
}

}  // namespace
