// The plant's server, for real: twenty stations through two restarts (one a kill), a server that
// turns the station away, one whose schema is newer than the station's, and one of an older
// version brought to the station's.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/surge.h"
#include "history/history_panel.h"
#include "history/recorder.h"
#include "records/record_fields.h"
#include "records/schema.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/history/server/server_suite.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

namespace tt = toolkit_testing;

class ServerTest : public ServerSuite {};

TEST_F(ServerTest, TwentyStationsThroughAKillAndARestartLeaveEachRecordOnTheServerOnce) {
    constexpr int STATIONS = 20;
    constexpr int CYCLES = 500;
    server_->PointStationHere();
    ScopedWorkDir top(false);
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int s = 0; s < STATIONS; ++s) {
        const QString dir = QString::fromStdString(top.Path()) + QStringLiteral("/st%1").arg(s);
        QDir().mkpath(dir);
        auto station = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SURGE_STATION", QStringLiteral("ST-%1").arg(s, 2, 10, QLatin1Char('0')));
        station->setProcessEnvironment(env);
        station->setWorkingDirectory(dir);
        station->setProcessChannelMode(QProcess::MergedChannels);
        station->start(SURGE_HISTORY_DRIVER_PATH, {QString::number(CYCLES), "8", "90"});
        stations.push_back(std::move(station));
    }
    // Mid-send: killed as by a crash or a cut, then stopped in order.
    QThread::msleep(1500);
    ASSERT_TRUE(server_->Stop("immediate"));
    QThread::msleep(2000);
    ASSERT_TRUE(server_->Start());
    QThread::msleep(2000);
    ASSERT_TRUE(server_->Stop("fast"));
    QThread::msleep(2000);
    ASSERT_TRUE(server_->Start());
    for (auto& station : stations) {
        ASSERT_TRUE(station->waitForFinished(150000));
        EXPECT_EQ(station->exitCode(), 0) << station->readAll().toStdString();
    }
    EXPECT_EQ(server_->Value("SELECT COUNT(*) FROM inspection"), "10000");
    EXPECT_EQ(server_->Value("SELECT COUNT(DISTINCT (station, uuid)) FROM inspection"), "10000");
    // Whole records only: every station's 500, each with both waves.
    EXPECT_EQ(server_->Value("SELECT COUNT(*) FROM (SELECT station FROM inspection WHERE "
                             "length(standard_wave) = 300 AND length(measured_wave) = 300 "
                             "GROUP BY station HAVING COUNT(*) = 500) s"),
              "20");
    for (int s = 0; s < STATIONS; ++s) {
        const std::string dir = top.Path() + "/st" + std::to_string(s);
        EXPECT_EQ(FileValue("SELECT COUNT(*) FROM inspection", dir), "500") << dir;
        EXPECT_EQ(FileValue("SELECT COUNT(*) FROM outbox", dir), "0") << dir;
    }
}

TEST_F(ServerTest, AServerThatTurnsTheStationAwayIsReportedOnceAndRecordingGoesOn) {
    const struct {
        const char* name;
        std::string database;
        const char* password;
        const char* prepare;  // on the plant's database
        const char* warning;
    } cases[] = {
        {"wrong password", PgServer::DATABASE, "wrong", nullptr, "접속할 수 없습니다"},
        {"unknown database", "nowhere", PgServer::PASSWORD, nullptr, "접속할 수 없습니다"},
        {"newer schema", "newer", PgServer::PASSWORD,
         "CREATE TABLE schema_version (version INTEGER NOT NULL); "
         "INSERT INTO schema_version VALUES (99)",
         "새 버전"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir(false);
        if (c.prepare) {
            server_->Value("CREATE DATABASE " + c.database, "postgres");
            server_->Value(c.prepare, c.database);
        }
        server_->PointStationHere(c.database);
        setenv("SURGE_HISTORY_PASSWORD", c.password, 1);
        tt::ClearShownPopups();
        history::Start(history::Strip{});
        for (int i = 0; i < 3; ++i) {
            Inspection inspection;
            inspection.started_at = inspection.ended_at = std::chrono::system_clock::now();
            inspection.outcome = Outcome::OK;
            history::Record(inspection);
            RunEvents(1200);
        }
        RunEvents(500);
        int warnings = 0;
        for (const auto& popup : tt::ShownPopups()) {
            if (popup.title == "경  고") {
                ++warnings;
                EXPECT_NE(popup.text.find(c.warning), std::string::npos) << popup.text;
                EXPECT_EQ(popup.text.find(PgServer::PASSWORD), std::string::npos);
            }
        }
        EXPECT_EQ(warnings, 1);
        EXPECT_EQ(history::Waiting(), 3);
        history::Stop();
        EXPECT_EQ(FileValue("SELECT COUNT(*) FROM inspection", dir.Path()), "3");
    }
    EXPECT_EQ(
        server_->Value("SELECT COUNT(*) FROM pg_tables WHERE tablename = 'inspection'", "newer"),
        "0");
}

TEST_F(ServerTest, TheHistoryPanelShowsThisStationOrEveryStationOnTheServer) {
    server_->PointStationHere();
    ScopedWorkDir dir;
    for (const char* name : {"ST-A", "ST-B", "ST-C"}) {
        QDir().mkpath(name);
        QProcess station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SURGE_STATION", name);
        station.setProcessEnvironment(env);
        station.setWorkingDirectory(name);
        station.start(SURGE_HISTORY_DRIVER_PATH, {"5", "1", "30"});
        ASSERT_TRUE(station.waitForFinished(60000));
        ASSERT_EQ(station.exitCode(), 0) << station.readAll().toStdString();
    }
    setenv("SURGE_STATION", "ST-B", 1);
    Reset_program_state();
    Register_callbacks();
    mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
    ASSERT_GT(mainHandle, 0);
    DisplayPanel(mainHandle);
    tt::ClearShownPopups();
    tt::Commit(mainHandle, MAIN_HISTORY);
    const auto text = [](int control) {
        char value[64] = "";
        GetCtrlVal(historyHandle, control, value);
        return std::string(value);
    };
    EXPECT_EQ(text(HISTORY_STATION), "ST-B");
    const struct {
        const char* station;  // typed into the station field, or nullptr as opened
        const char* tested;
        const char* first_station;  // the newest record's station column
    } cases[] = {{nullptr, "5", "ST-B"}, {"ST-A", "5", "ST-A"}, {"", "15", "ST-C"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.station ? c.station : "as opened");
        if (c.station) {
            tt::TypeText(historyHandle, HISTORY_STATION, c.station);
            tt::Commit(historyHandle, HISTORY_SEARCH);
        }
        EXPECT_EQ(text(HISTORY_TESTED), c.tested);
        EXPECT_EQ(tt::TableCellText(historyHandle, HISTORY_TABLE, MakePoint(7, 1)),
                  c.first_station);
    }
    EXPECT_TRUE(tt::ShownPopups().empty());
    // A server that cannot be read: the station's own file, and the operator told.
    tt::Commit(historyHandle, HISTORY_QUIT);
    setenv("SURGE_HISTORY_DB", "host=127.0.0.1 port=1 dbname=plant user=surge", 1);
    tt::Commit(mainHandle, MAIN_HISTORY);
    ASSERT_EQ(tt::ShownPopups().size(), 1u);
    EXPECT_NE(tt::ShownPopups()[0].text.find("서버를 읽을 수 없어"), std::string::npos);
    EXPECT_EQ(text(HISTORY_TESTED), "0");
    ResetHistoryPanel();
    DiscardPanel(mainHandle);
    unsetenv("SURGE_STATION");
}

}  // namespace

TEST_F(ServerTest, AServerOfVersion2IsBroughtToTheCurrentVersionKeepingItsRows) {
    const std::string database = "version2";
    server_->Value("CREATE DATABASE " + database, "postgres");
    server_->Value(
        "CREATE TABLE schema_version (version INTEGER NOT NULL); "
        "INSERT INTO schema_version VALUES (2); "
        "CREATE TABLE inspection (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, uuid TEXT "
        "NOT NULL, station TEXT NOT NULL, started_at TEXT COLLATE \"C\" NOT NULL, ended_at TEXT "
        "COLLATE \"C\" NOT NULL, serial TEXT NOT NULL, master TEXT NOT NULL, model_no TEXT NOT "
        "NULL, voltage DOUBLE PRECISION, width INTEGER, pulse_no INTEGER, judge INTEGER, area "
        "INTEGER, phase INTEGER, outcome TEXT NOT NULL, stopped_at TEXT NOT NULL, standard_wave "
        "BYTEA, measured_wave BYTEA, operator TEXT NOT NULL DEFAULT '', master_version TEXT NOT "
        "NULL DEFAULT '', UNIQUE (station, uuid)); "
        "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, model_no, "
        "outcome, stopped_at) VALUES ('u1', 'OTHER', '2026-12-01T08:00:00.000+09:00', "
        "'2026-12-01T08:00:01.000+09:00', 'A1', 'M-01', '03', 'O.K', ''); "
        "CREATE TABLE audit (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, station TEXT NOT "
        "NULL, seq BIGINT NOT NULL, at TEXT COLLATE \"C\" NOT NULL, user_name TEXT NOT NULL, role "
        "TEXT NOT NULL, action TEXT NOT NULL, object TEXT NOT NULL, before_value TEXT NOT NULL, "
        "after_value TEXT NOT NULL, reason TEXT NOT NULL, prev_hash TEXT NOT NULL, hash TEXT NOT "
        "NULL, UNIQUE (station, seq)); "
        "INSERT INTO audit (station, seq, at, user_name, role, action, object, before_value, "
        "after_value, reason, prev_hash, hash) VALUES ('OTHER', 1, "
        "'2026-12-01T07:00:00.000+09:00', '-', '-', 'master saved', 'M-01', '', '', '', '0', 'h')",
        database);
    ScopedWorkDir dir(false);
    server_->PointStationHere(database);
    setenv("SURGE_HISTORY_PASSWORD", PgServer::PASSWORD, 1);
    history::Start(history::Strip{});
    Inspection inspection;
    inspection.started_at = inspection.ended_at = std::chrono::system_clock::now();
    inspection.outcome = Outcome::OK;
    history::Record(inspection);
    for (int i = 0; i < 50 && history::Waiting() != 0; ++i) {
        RunEvents(100);
    }
    history::Stop();
    const std::string version = records::SoftwareVersion().toStdString();
    const struct {
        const char* query;
        std::string value;
    } cases[] = {
        {"SELECT MAX(version) FROM schema_version", std::to_string(records::SCHEMA_VERSION)},
        {"SELECT COUNT(*) FROM inspection", "2"},
        {"SELECT software_version || '|' FROM inspection WHERE station = 'OTHER'", "|"},
        {"SELECT software_version FROM inspection WHERE station != 'OTHER'", version},
        {"SELECT hash || software_version || '|' FROM audit WHERE station = 'OTHER'", "h|"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(server_->Value(c.query, database), c.value) << c.query;
    }
}
