// The server's records by month: a server of the layout before brought up with every record, each
// way of sending (a station of this version's function, an earlier one's insert) keeping a record
// once in its month's partition, and retention detaching old months with verify saying where the
// chain is checked from.
#include <gtest/gtest.h>

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>
#include <string>
#include <vector>

#include "history/record_writer.h"
#include "history/recorder.h"
#include "records/schema.h"
#include "tests/history/server/server_suite.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/work_dir.h"
#include "tests/tools/audit_fixture.h"
#include "trail/plant_layout.h"
#include "trail/server_setup.h"

namespace {

// "2026_12" of the month `months` from this one.
std::string Month(int months, char separator = '_') {
    const QDate first = QDate::currentDate().addMonths(months);
    return first.toString(QStringLiteral("yyyy%1MM").arg(separator)).toStdString();
}

// A record as an earlier station's forwarder inserts it, or as this one's appends it.
std::string EarlierInsert(const std::string& uuid, const std::string& started) {
    return "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, "
           "model_no, outcome, stopped_at) VALUES ('" +
           uuid + "', 'LINE-1', '" + started + "', '" + started +
           "', 'U', 'M-01', '', 'O.K', '') ON CONFLICT (station, uuid) DO NOTHING";
}
std::string Appended(const std::string& uuid, const std::string& started) {
    return std::string("SELECT ") + records::RECORD_APPEND_FUNCTION + "(uuid => '" + uuid +
           "', station => 'LINE-1', started_at => '" + started + "', ended_at => '" + started +
           "', serial => 'U', master => 'M-01', model_no => '', outcome => 'O.K', stopped_at => "
           "'')";
}

class PartitionTest : public ServerSuite {
  protected:
    void SetUp() override {
        ServerSuite::SetUp();
        if (IsSkipped()) {
            return;
        }
        database_ = "partitions" + std::to_string(++count_);
        server_->Value("CREATE DATABASE " + database_ + "; SELECT 1", "postgres");
    }
    std::string Value(const std::string& sql) const { return server_->Value(sql, database_); }
    // `sql` as the login `login` (the DBA's when empty): "done", or the server's message.
    std::string As(const std::string& login, const std::string& sql) const {
        std::string said = "no connection";
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "as_login");
            db.setHostName("127.0.0.1");
            db.setPort(server_->Port());
            db.setDatabaseName(QString::fromStdString(database_));
            db.setUserName(QString::fromStdString(login.empty() ? PgServer::USER : login));
            db.setPassword(
                QString::fromStdString(login.empty() ? PgServer::PASSWORD : "pw-" + login));
            if (db.open()) {
                QSqlQuery query(db);
                said = query.exec(QString::fromStdString(sql))
                           ? "done"
                           : query.lastError().databaseText().toStdString();
            }
        }
        QSqlDatabase::removeDatabase("as_login");
        return said;
    }
    // The partition that holds the record `uuid`, and how many times it is held.
    std::string WhereIs(const std::string& uuid) const {
        return Value(
            "SELECT string_agg(tableoid::regclass || ' ' || n, ', ') FROM (SELECT "
            "tableoid, COUNT(*) AS n FROM inspection WHERE uuid = '" +
            uuid + "' GROUP BY tableoid) x");
    }
    // surge-audit with the DBA's connection.
    AuditRun AsDba(const QStringList& arguments) const {
        server_->PointStationHere(database_);
        return RunAudit(arguments);
    }

    std::string database_;
    inline static int count_ = 0;
};

TEST_F(PartitionTest, AServerOfTheLayoutBeforeKeepsEveryRecord) {
    // The layout before: one plain table, unique by station and uuid, as setup-server made it.
    std::vector<std::string> before = {records::CREATE_SCHEMA_VERSION};
    for (const auto& part : {records::ServerSchema(0), trail::WitnessStatements("public"),
                             trail::PlantLayoutStatements("public")}) {
        before.insert(before.end(), part.begin(), part.end());
    }
    before.push_back(
        "CREATE UNIQUE INDEX inspection_station_seq ON inspection (station, seq) WHERE seq IS NOT "
        "NULL");
    before.push_back("UPDATE server_layout SET version = 8");
    for (const std::string& statement : before) {
        ASSERT_EQ(As("", statement), "done") << statement;
    }
    const std::string earlier = Month(-14, '-') + "-03T10:00:00.000+09:00";
    const std::string now = Month(0, '-') + "-01T00:00:00.000+09:00";
    for (const auto& [uuid, started] : {std::pair{"a", earlier}, {"b", earlier}, {"c", now}}) {
        ASSERT_EQ(As("", EarlierInsert(uuid, started)), "done");
    }
    Value("INSERT INTO wave_features (station, uuid, damping) VALUES ('LINE-1', 'a', 1.5)");
    const std::string every =
        "SELECT COUNT(*) || ' ' || md5(string_agg(id || uuid || received_at || started_at, ',' "
        "ORDER BY id)) FROM inspection";
    const std::string held = Value(every);

    ASSERT_NE(MakeWitness(database_, "LINE-1", "line1"), "");
    EXPECT_EQ(Value(every), held);
    EXPECT_EQ(Value("SELECT relkind FROM pg_class WHERE relname = 'inspection'"), "p");
    EXPECT_EQ(WhereIs("a") + "; " + WhereIs("c"),
              "inspection_" + Month(-14) + " 1; inspection_" + Month(0) + " 1");
    EXPECT_EQ(Value("SELECT damping FROM inspection_with_features WHERE uuid = 'a'"), "1.5");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM pg_trigger WHERE tgrelid = 'inspection'::regclass AND "
                    "tgname IN ('inspection_arrives', 'inspection_notify')"),
              "2");
    ASSERT_EQ(As("line1", EarlierInsert("d", now)), "done");
    EXPECT_EQ(Value("SELECT (SELECT id FROM inspection WHERE uuid = 'd') > MAX(id) FROM "
                    "inspection WHERE uuid <> 'd'"),
              "true");
}

TEST_F(PartitionTest, EachWayOfSendingKeepsARecordOnceInItsMonth) {
    ASSERT_NE(MakeWitness(database_, "LINE-1", "line1"), "");
    const std::string now = Month(0, '-') + "-11T09:00:00.000+09:00";
    const std::string later = "2031-05-02T09:00:00.000+09:00";
    struct Step {
        const char* what;
        std::string sql;  // as the station's login; empty: setup-server run again
        std::string uuid;
        std::string held;
    };
    const std::string this_month = "inspection_" + Month(0) + " 1";
    const Step steps[] = {
        {"an earlier station's insert", EarlierInsert("u1", now), "u1", this_month},
        {"the same insert again", EarlierInsert("u1", now), "u1", this_month},
        {"this station's function, the same record", Appended("u1", now), "u1", this_month},
        {"a month with no partition", Appended("u2", later), "u2", "inspection_default 1"},
        {"setup-server run again", "", "u2", "inspection_2031_05 1"},
        {"the earlier insert of it again", EarlierInsert("u2", later), "u2",
         "inspection_2031_05 1"},
    };
    for (const Step& step : steps) {
        if (step.sql.empty()) {
            ASSERT_NE(MakeWitness(database_, "LINE-1", "line1"), "");
        } else {
            ASSERT_EQ(As("line1", step.sql), "done") << step.what;
        }
        EXPECT_EQ(WhereIs(step.uuid), step.held) << step.what;
    }
    EXPECT_EQ(Value("SELECT COUNT(*) FROM surge_intake.inspection"), "0");
}

TEST_F(PartitionTest, RetentionDetachesAndVerifyChecksFromThere) {
    setenv("SURGE_STATION", "LINE-1", 1);
    ScopedWorkDir dir;
    ASSERT_NE(MakeWitness(database_, "LINE-1", "line1"), "");
    PointStationAs(database_, "line1");
    history::Start({});
    const auto now = std::chrono::system_clock::now();
    for (int n = 1; n <= 4; ++n) {
        const auto started = n <= 2 ? now - std::chrono::hours(24 * 31 * 5) : now;
        Inspection inspection =
            SampleInspection(n, started, SampleSetup("03", 4.5, 5, 10, 8), n, 1, ::Outcome::OK);
        inspection.serial = "U-" + std::to_string(n);
        history::WriteRecord(inspection);
    }
    ASSERT_TRUE(Await([] { return FileValue("SELECT COUNT(*) FROM outbox") == "0"; }));
    history::Stop();
    const std::string old = Value("SELECT tableoid::regclass FROM inspection WHERE seq = 1");
    ASSERT_EQ(old, "inspection_default");
    ASSERT_EQ(AsDba({"setup-server"}).exit_code, 0);
    const std::string partition = Value("SELECT tableoid::regclass FROM inspection WHERE seq = 1");
    const AuditRun retained = AsDba({"retain", "--server", "2"});
    EXPECT_EQ(retained.exit_code, 0) << retained.output;
    EXPECT_NE(retained.output.find("detached " + partition + " (2 records)"), std::string::npos)
        << retained.output;
    EXPECT_EQ(Value("SELECT COUNT(*) FROM " + partition), "2");

    struct Case {
        const char* what;
        std::string change;  // as the DBA, before verify
        int exit_code;
        std::string says;
    };
    const Case cases[] = {
        {"the boundary", "", 0, "detached (" + partition + "): the chain is checked from seq 3"},
        {"a record after it altered", "UPDATE inspection SET outcome = 'N.G' WHERE seq = 3", 1,
         "the server's record seq 3: its hash is not the SHA-256 of its columns"},
    };
    for (const Case& c : cases) {
        if (!c.change.empty()) {
            Value(c.change);
        }
        PointStationAs(database_, "line1");
        const AuditRun run = RunAudit({"verify", "--server"});
        EXPECT_EQ(run.exit_code, c.exit_code) << c.what << ": " << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.what << ": " << run.output;
    }
    unsetenv("SURGE_STATION");
}

}  // namespace
