// The trail and the records against a person at the keyboard with the line PC's account and the
// station's server login, on a witness server set up by the plant's DBA: each attack found by
// surge-audit, refused by the server or the tools, or, where it lies beyond what can be told
// (a plausible tail cut while the station is stopped, before the server has it), shown so.
#include <gtest/gtest.h>

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/record_writer.h"
#include "history/recorder.h"
#include "records/columns.h"
#include "records/record_chain.h"
#include "records/record_fields.h"
#include "settings/settings_in_force.h"
#include "tests/history/server/server_suite.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/work_dir.h"
#include "tests/tools/audit_fixture.h"
#include "toolkit/toolkit_testing.h"
#include "trail/audit_trail.h"

namespace {

struct Told {
    int exit_code;     // of what the check ran
    std::string says;  // a part of what it printed
};

struct ToolRun {
    int exit_code = -1;
    std::string output;
};

ToolRun RunTool(const char* path, const QStringList& arguments, const std::string& input = "") {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QString::fromLatin1(path), arguments);
    tool.write(input.data(), static_cast<qint64>(input.size()));
    tool.closeWriteChannel();
    ToolRun run;
    if (tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit) {
        run.exit_code = tool.exitCode();
    }
    run.output = tool.readAll().toStdString();
    return run;
}

// The tamperer's own chain: every record of the file hashed anew after `change` (SQL on the
// file's records), so that the file's chain holds again.
void RehashFile(const std::string& change) {
    ASSERT_EQ(OnFile({change}), "");
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "rehash");
    db.setDatabaseName(records::DATABASE_FILE);
    ASSERT_TRUE(db.open());
    QSqlQuery read(db);
    ASSERT_TRUE(read.exec("SELECT id, " + records::StoredColumnList() +
                          " FROM inspection WHERE seq IS NOT NULL ORDER BY seq"));
    std::vector<std::pair<qlonglong, QString>> hashes;
    QString prev = QString(64, '0');
    while (read.next()) {
        std::vector<QVariant> values;
        for (int i = 1; i <= records::StoredColumnCount(); ++i) {
            values.push_back(read.value(i));
        }
        const qlonglong seq = values[records::StoredIndex(records::CHAIN_SEQ)].toLongLong();
        values[records::StoredIndex(records::CHAIN_PREV)] = prev;
        prev = records::RecordHash(values, seq, prev);
        hashes.emplace_back(read.value(0).toLongLong(), prev);
    }
    read.finish();
    QSqlQuery write(db);
    QString before = QString(64, '0');
    for (const auto& [id, hash] : hashes) {
        write.prepare("UPDATE inspection_record SET prev_hash = ?, hash = ? WHERE id = ?");
        write.addBindValue(before);
        write.addBindValue(hash);
        write.addBindValue(id);
        ASSERT_TRUE(write.exec());
        before = hash;
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("rehash");
}

// A row appended to the end of the file's trail with its hash right, queued for the server.
std::vector<std::string> ForgedEndRow(const std::string& at, const std::string& user) {
    trail::AuditRow last = RowOnFile(4);
    trail::AuditRow forged = last;
    forged.seq = last.seq + 1;
    forged.at = at;
    forged.user = user;
    forged.role = "engineer";
    forged.action = trail::AUDIT_LINE_STOP_ACKNOWLEDGED;
    forged.code = trail::CODE_STOP_NG;
    forged.object = "M-01";
    forged.prev_hash = last.hash;
    forged.hash = trail::Sha256Hex(trail::CanonicalText(forged));
    std::string values;
    for (const std::string* field :
         {&forged.at, &forged.station, &forged.user, &forged.role, &forged.action, &forged.object,
          &forged.before, &forged.after, &forged.reason, &forged.prev_hash, &forged.hash,
          &forged.software_version, &forged.code}) {
        values += ", '" + *field + "'";
    }
    return {"INSERT INTO audit (" + records::AuditRowColumns() + ") VALUES (5" + values + ")",
            "INSERT INTO audit_outbox VALUES (5)"};
}

// The users the cases log in as, added with surge-users: "admin" and the operator "op".
void AddUsers() {
    RunTool(SURGE_USERS_PATH, {"add", "admin", "administrator"}, "pw-admin\n");
    RunTool(SURGE_USERS_PATH, {"--as", "admin", "add", "op", "operator"}, "pw-admin\npw-op\n");
}

std::string NewestRow() {
    return JoinedRows(
        QueryFile("SELECT action, object, before_value, after_value FROM audit "
                  "ORDER BY seq DESC LIMIT 1"))[0];
}

class AttackTest : public ServerSuite {
  public:
    // A witness with the station "LINE-3" appending as "line3": four audit rows and three
    // records written and sent, the station stopped.
    void SetUp() override {
        ServerSuite::SetUp();
        if (IsSkipped()) {
            return;
        }
        setenv("SURGE_STATION", "LINE-3", 1);
        dir_ = std::make_unique<ScopedWorkDir>();
        database_ = "attack" + std::to_string(++count_);
        server_->Value("CREATE DATABASE " + database_ + "; SELECT 1", "postgres");
        ASSERT_NE(MakeWitness(database_, "LINE-3", "line3"), "");
        PointStationAs(database_, "line3");
        history::Start({});
        WriteTrail({"M-01", "M-02", "M-03", "M-04"});
        for (int n = 1; n <= 3; ++n) {
            Inspection inspection = SampleInspection(n, std::chrono::system_clock::now(),
                                                     SampleSetup("03", 4.5, 5, 10, 8), n, 1,
                                                     n == 2 ? ::Outcome::NG : ::Outcome::OK);
            inspection.serial = "U-" + std::to_string(n);
            // The third carries the station's own judgement of its wave, in the chain too.
            history::WriteRecord(inspection, n == 3 ? WaveOpinion{3.125, 1.5, 2.25, 4.5, 0.75, true,
                                                                  "frequency", "주파수"}
                                                    : WaveOpinion{});
        }
        ASSERT_TRUE(Await([] {
            return FileValue(
                       "SELECT (SELECT COUNT(*) FROM outbox) + (SELECT COUNT(*) FROM "
                       "audit_outbox)") == "0";
        }));
        history::Stop();
        PointStationAs(database_, "line3");
    }
    void TearDown() override {
        ServerSuite::TearDown();
        dir_.reset();
        unsetenv("SURGE_STATION");
    }
    std::string OnServer(const std::string& sql, const std::string& login = "") const {
        if (login.empty()) {
            return server_->Value(sql + "; SELECT 'done'", database_);
        }
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "as_station");
        db.setHostName("127.0.0.1");
        db.setPort(server_->Port());
        db.setDatabaseName(QString::fromStdString(database_));
        db.setUserName(QString::fromStdString(login));
        db.setPassword(QString::fromStdString("pw-" + login));
        std::string said = "no connection";
        if (db.open()) {
            QSqlQuery query(db);
            // The server's message alone, without its level and context.
            said = query.exec(QString::fromStdString(sql)) ? "done"
                                                           : query.lastError()
                                                                 .databaseText()
                                                                 .section(QLatin1Char('\n'), 0, 0)
                                                                 .remove(QStringLiteral("ERROR:  "))
                                                                 .toStdString();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("as_station");
        return said;
    }
    static Told Verify(bool server = true) {
        const AuditRun run =
            RunAudit(server ? QStringList{"verify", "--server"} : QStringList{"verify"});
        return {run.exit_code, run.output};
    }

    std::unique_ptr<ScopedWorkDir> dir_;
    std::string database_;
    inline static int count_ = 0;
};

TEST_F(AttackTest, EachAttackIsFoundOrRefused) {
    const struct {
        const char* name;
        std::function<Told(AttackTest&)> attack;  // the attack, then what tells of it
        Told expected;
    } cases[] = {
        {"as written",
         [](AttackTest&) { return Verify(); },
         {0, "holds 4 of the rows, head seq 4, and holds 3 of its records"}},
        {"a row forged at the file's end, far in the future",
         [](AttackTest&) {
             OnFile(ForgedEndRow("9999-12-31T23:59:59.999+00:00", "nobody"));
             return Verify(false);
         },
         {1,
          "seq 5 (9999-12-31T23:59:59.999+00:00, line stop acknowledged, M-01) does not "
          "hold: its time 9999-12-31T23:59:59.999+00:00 is"}},
        {"a row forged at the file's end, by a user never added",
         [](AttackTest&) {
             OnFile(ForgedEndRow(records::IsoTime(std::chrono::system_clock::now()).toStdString(),
                                 "nobody"));
             return Verify();
         },
         {1, "its user nobody was never added"}},
        {"sent rows taken off the file's end",
         [](AttackTest&) {
             OnFile(Unguarded({"DELETE FROM audit WHERE seq > 2"}));
             return Verify();
         },
         {1, "the file ends at seq 2 but the server's head is seq 4"}},
        {"every row taken off the file",
         [](AttackTest&) {
             OnFile(Unguarded({"DELETE FROM audit"}));
             return Verify();
         },
         {1, "the file ends at seq 0 but the server's head is seq 4"}},
        {"rows rewritten on the server by the station's login",
         [](AttackTest& t) {
             return Told{0, t.OnServer("UPDATE audit SET after_value = 'x'", "line3") + " " +
                                t.OnServer("DELETE FROM audit_head", "line3") + " " +
                                t.OnServer("UPDATE audit_head SET seq = 1", "line3")};
         },
         {0,
          "permission denied for table audit permission denied for table audit_head the head "
          "of a station's trail is the server's own"}},
        {"the file's trail hashed anew from a changed row on",
         [](AttackTest&) {
             std::vector<std::string> rewrite = {"DROP TRIGGER audit_never_changed"};
             trail::AuditRow row = RowOnFile(2);
             row.after = "M-02 9.9";
             std::string prev = RowOnFile(1).hash;
             for (long long seq = 2; seq <= 4; ++seq) {
                 trail::AuditRow next = seq == 2 ? row : RowOnFile(seq);
                 next.prev_hash = prev;
                 prev = next.hash = trail::Sha256Hex(trail::CanonicalText(next));
                 rewrite.push_back("UPDATE audit SET after_value = '" + next.after +
                                   "', prev_hash = '" + next.prev_hash + "', hash = '" + next.hash +
                                   "' WHERE seq = " + std::to_string(seq));
             }
             OnFile(rewrite);
             return Verify();
         },
         {1, "the server's seq 2 is not the file's"}},
        {"a verdict changed in the file",
         [](AttackTest&) {
             OnFile({"UPDATE inspection_record SET outcome = 'O.K' WHERE seq = 2"});
             return Verify(false);
         },
         {1, "record seq 2 ("}},
        {"a verdict changed in the file, the records hashed anew",
         [](AttackTest&) {
             RehashFile("UPDATE inspection_record SET outcome = 'O.K' WHERE seq = 2");
             return Verify();
         },
         {1, "the server's records seq 1 to 3 are not the file's"}},
        {"a verdict changed on the server by the station's login",
         [](AttackTest& t) {
             return Told{0, t.OnServer("UPDATE inspection SET outcome = 'O.K'", "line3")};
         },
         {0, "permission denied for table inspection"}},
        {"a verdict changed on the server by someone who may",
         [](AttackTest& t) {
             t.OnServer("UPDATE inspection SET outcome = 'O.K' WHERE seq = 2");
             return Verify();
         },
         {1, "the server's record seq 2: its hash is not the SHA-256 of its columns"}},
        {"the station's wave alarm taken back in the file",
         [](AttackTest&) {
             OnFile({"UPDATE inspection_record SET wave_alarm = 0 WHERE seq = 3"});
             return Verify(false);
         },
         {1, "record seq 3 ("}},
        {"the station's wave alarm taken back on the server by someone who may",
         [](AttackTest& t) {
             t.OnServer("UPDATE inspection SET wave_alarm = 0 WHERE seq = 3");
             return Verify();
         },
         {1, "the server's record seq 3: its hash is not the SHA-256 of its columns"}},
        {"a record inserted on the server as the station, outside its chain",
         [](AttackTest& t) {
             return Told{0, t.OnServer("INSERT INTO inspection (uuid, station, started_at, "
                                       "ended_at, serial, master, model_no, outcome, "
                                       "stopped_at) VALUES ('u', 'LINE-3', '9999', '9999', "
                                       "'', 'M-01', '', 'O.K', '')",
                                       "line3")};
         },
         {0, "station LINE-3 sends its records in a chain: this one has none"}},
        {"a record sent as another station",
         [](AttackTest& t) {
             return Told{0, t.OnServer("INSERT INTO inspection (uuid, station, started_at, "
                                       "ended_at, serial, master, model_no, outcome, "
                                       "stopped_at) VALUES ('u', 'LINE-4', '0', '0', '', "
                                       "'M-01', '', 'O.K', '')",
                                       "line3")};
         },
         {0, "the login line3 may not send as station LINE-4 (it sends as LINE-3)"}},
        {"a server the stations made",
         [](AttackTest& t) {
             const std::string legacy = t.database_ + "_legacy";
             server_->Value("CREATE DATABASE " + legacy + "; SELECT 1", "postgres");
             server_->PointStationHere(legacy);
             history::Start({});
             Await([] { return history::Waiting() == 0; });
             history::Stop();
             server_->PointStationHere(legacy);
             return Verify();
         },
         {1, "the server is no witness: the server was not set up as a witness"}},
        {"a user re-roled in the file",
         [](AttackTest&) {
             AddUsers();
             OnFile({"UPDATE users SET role = 'administrator' WHERE name = 'op'"});
             const ToolRun run =
                 RunTool(SURGE_USERS_PATH, {"--as", "op", "disable", "admin"}, "pw-op\n");
             return Told{run.exit_code, run.output};
         },
         {1, "op's row differs from the audit trail (role)"}},
        {"another user's password hash copied in the file",
         [](AttackTest&) {
             AddUsers();
             OnFile(
                 {"UPDATE users SET hash = (SELECT hash FROM users WHERE name = 'op') WHERE "
                  "name = 'admin'"});
             const ToolRun run =
                 RunTool(SURGE_USERS_PATH, {"--as", "admin", "disable", "op"}, "pw-op\n");
             return Told{run.exit_code, run.output};
         },
         {1, "admin's row differs from the audit trail (password)"}},
        {"six wrong passwords at once, four times",
         [](AttackTest&) {
             AddUsers();
             for (int round = 0; round < 4; ++round) {
                 std::vector<std::unique_ptr<QProcess>> tools;
                 for (int i = 0; i < 6; ++i) {
                     tools.push_back(std::make_unique<QProcess>());
                     tools.back()->start(SURGE_USERS_PATH, {"--as", "admin", "disable", "op"});
                     tools.back()->write("wrong\n");
                     tools.back()->closeWriteChannel();
                 }
                 for (auto& tool : tools) {
                     tool->waitForFinished(60000);
                 }
             }
             return Told{0,
                         JoinedRows(QueryFile(
                             "SELECT COUNT(*), COUNT(CASE WHEN after_value LIKE 'wrong%' "
                             "THEN 1 END), (SELECT COUNT(*) FROM audit WHERE action = 'lock') "
                             "FROM audit WHERE action = 'failed login' AND object = 'admin'"))[0]};
         },
         {0, "24 5 1"}},
        {"access control switched off in station.ini and its table while stopped",
         [](AttackTest&) {
             WriteWholeFile("station.ini", "[access]\nenabled=true\n");
             settings::StartSettings();
             settings::StopSettings();
             trail::StopTrail();
             WriteWholeFile("station.ini", "[access]\nenabled=false\n");
             OnFile({"UPDATE settings SET value = 'false' WHERE key = 'access/enabled'"});
             settings::StartSettings();
             settings::StopSettings();
             trail::StopTrail();
             return Told{0, NewestRow()};
         },
         {0, "settings changed access/enabled true false"}},
        {"access control switched off while the station runs with the history off",
         [](AttackTest&) {
             setenv("SURGE_HISTORY", "off", 1);
             WriteWholeFile("station.ini", "[access]\nenabled=true\n");
             settings::StartSettings();
             WriteWholeFile("station.ini", "[access]\nenabled=false\n");
             settings::CheckSettingsFile();
             settings::StopSettings();
             trail::StopTrail();
             unsetenv("SURGE_HISTORY");
             return Told{0, NewestRow()};
         },
         {0, "settings changed access/enabled true false"}},
        {"rows taken off the trail's end while the station runs",
         [](AttackTest&) {
             trail::StartTrail();
             trail::Audit(trail::AUDIT_MASTER_SAVED, "M-05", "", "M-05");
             OnFile(Unguarded({"DELETE FROM audit WHERE seq > 3"}));
             trail::Audit(trail::AUDIT_MASTER_SAVED, "M-06", "", "M-06");
             trail::StopTrail();
             return Verify(false);
         },
         {1, "does not hold: the station found its trail cut here: it had written seq 5"}},
        {"rows not yet sent taken off the trail's end while the station is stopped: beyond what "
         "can be told",
         [](AttackTest&) {
             WriteTrail({"M-05", "M-06"});
             OnFile(Unguarded({"DELETE FROM audit WHERE seq > 4", "DELETE FROM audit_outbox"}));
             return Verify();
         },
         {0, "the chain holds: 4 rows"}},
        {"a second station of one name with a login of its own",
         [](AttackTest& t) {
             MakeWitness(t.database_, "LINE-4", "line4");
             {
                 ScopedWorkDir second;
                 PointStationAs(t.database_, "line4");
                 history::Start({});
                 WriteTrail({"M-09"});
                 history::Record(SampleInspection(9, std::chrono::system_clock::now(),
                                                  SampleSetup("03", 4.5, 5, 10, 8), 1, 1,
                                                  ::Outcome::OK));
                 Await([] { return FileValue("SELECT COUNT(*) FROM refused") == "1"; });
                 history::Stop();
             }
             PointStationAs(t.database_, "line3");
             return Verify();
         },
         {0, "holds 4 of the rows, head seq 4, and holds 3 of its records"}},
        {"a second station of one name with the first's login",
         [](AttackTest& t) {
             {
                 ScopedWorkDir second;
                 PointStationAs(t.database_, "line3");
                 history::Start({});
                 WriteTrail({"M-09"});
                 history::Record(SampleInspection(9, std::chrono::system_clock::now(),
                                                  SampleSetup("03", 4.5, 5, 10, 8), 1, 1,
                                                  ::Outcome::OK));
                 Await([] { return FileValue("SELECT COUNT(*) FROM refused") == "1"; });
                 history::Stop();
             }
             PointStationAs(t.database_, "line3");
             return Verify();
         },
         {0, "holds 4 of the rows, head seq 4, and holds 3 of its records"}},
        {"a station of the earlier version sending as it did",
         [](AttackTest& t) {
             return Told{0, t.OnServer("INSERT INTO inspection (uuid, station, started_at, "
                                       "ended_at, serial, master, model_no, outcome, stopped_at) "
                                       "VALUES ('old', 'LINE-3', '2026-01-01', '2026-01-01', "
                                       "'', 'M-01', '', 'O.K', '') ON CONFLICT (station, uuid) DO "
                                       "NOTHING",
                                       "line3") +
                                " " +
                                t.OnServer("INSERT INTO audit_head (station, seq, hash) VALUES "
                                           "('LINE-3', 9, 'x') ON CONFLICT (station) DO UPDATE "
                                           "SET seq = EXCLUDED.seq, hash = EXCLUDED.hash WHERE "
                                           "audit_head.seq < EXCLUDED.seq",
                                           "line3") +
                                " " + Verify().says};
         },
         {0, "done done"}},
        {"the tool run for another station",
         [](AttackTest&) {
             setenv("SURGE_STATION", "LINE-4", 1);
             return Verify();
         },
         {2, "SURGE_STATION=LINE-4, but inspection_history.db belongs to station LINE-3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Told seen = c.attack(*this);
        EXPECT_EQ(seen.exit_code, c.expected.exit_code) << seen.says;
        EXPECT_NE(seen.says.find(c.expected.says), std::string::npos) << seen.says;
        // Each case on a station and a server of its own.
        TearDown();
        SetUp();
    }
}

}  // namespace
