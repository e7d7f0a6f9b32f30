// The plant feed against a real server: a refused record never holds the others back, every record
// not yet acknowledged reaches a server once one is set, the link is checked by TLS, and shutdown
// leaves a forwarder caught on a stuck server behind.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <string>
#include <vector>

#include "history/recorder.h"
#include "tests/history/server/server_suite.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

namespace tt = toolkit_testing;

class FeedTest : public ServerSuite {
  protected:
    // One inspection of each unit, recorded by the station started anew.
    static void Record(const std::vector<std::string>& serials,
                       const std::string& master = "M-01") {
        for (const std::string& serial : serials) {
            Inspection inspection =
                SampleInspection(static_cast<int>(serial.size()), std::chrono::system_clock::now(),
                                 SampleSetup("03", 4.5, 5, 10, 7), 4, 1, Outcome::OK);
            inspection.serial = serial;
            inspection.master = master;
            history::Record(inspection);
        }
    }
    static std::string OnServer(const std::string& database = PgServer::DATABASE) {
        return server_->Value("SELECT string_agg(serial, ',' ORDER BY serial) FROM inspection",
                              database);
    }
    static std::vector<std::string> Warnings() {
        std::vector<std::string> texts;
        for (const auto& popup : tt::ShownPopups()) {
            if (popup.title == WARNING_TITLE) {
                texts.push_back(popup.text);
            }
        }
        return texts;
    }
};

TEST_F(FeedTest, ARecordTheServerRefusesIsSetAsideAndTheOthersGoOn) {
    const struct {
        const char* name;
        std::string database;
        const char* create;  // on the server, before the station
        const char* after_first;
        const char* master;  // of the record refused
        const char* mend;    // what puts the server right, or nullptr
    } cases[] = {
        {"a constraint of the plant's own", "refusing", "CREATE DATABASE refusing",
         "ALTER TABLE inspection ADD CONSTRAINT no_b CHECK (serial <> 'B')", "M-01",
         "ALTER TABLE inspection DROP CONSTRAINT no_b"},
        {"a database in EUC_KR", "euckr",
         "CREATE DATABASE euckr ENCODING 'EUC_KR' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0",
         nullptr, "똠방각하", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        server_->Value(std::string(c.create) + "; SELECT 1", "postgres");
        server_->PointStationHere(c.database);
        tt::ClearShownPopups();
        history::Start({});
        Record({"A"});
        ASSERT_TRUE(Await([&] { return OnServer(c.database) == "A"; }));
        if (c.after_first != nullptr) {
            server_->Value(c.after_first, c.database);
        }
        Record({"B"}, c.master);
        Record({"C", "D"});
        ASSERT_TRUE(Await([&] { return OnServer(c.database) == "A,C,D"; }));
        ASSERT_TRUE(Await([] { return history::Refused() == 1 && history::Waiting() == 0; }));
        ASSERT_TRUE(Await([] { return !Warnings().empty(); }));
        // The feed's warnings: on a loaded machine a write of the station's own may also run out
        // of its lock's wait, told apart and written later, which is not what this judges.
        std::vector<std::string> warnings;
        std::string told;
        for (const std::string& text : Warnings()) {
            told += text + "\n";
            if (text.find("서버") != std::string::npos) {
                warnings.push_back(text);
            }
        }
        ASSERT_EQ(warnings.size(), 1u) << told;
        EXPECT_NE(warnings[0].find("받지 않았습니다"), std::string::npos) << warnings[0];
        history::Stop();
        if (c.mend != nullptr) {
            // Put right, the server takes it at the station's next start.
            server_->Value(c.mend, c.database);
            history::Start({});
            EXPECT_TRUE(Await([&] { return OnServer(c.database) == "A,B,C,D"; }));
            EXPECT_TRUE(Await([] { return history::Refused() == 0; }));
            history::Stop();
        }
    }
}

TEST_F(FeedTest, EveryRecordNotYetAcknowledgedReachesTheServerOnceOneIsSet) {
    const struct {
        const char* name;
        const char* database;
        const char* password;  // meanwhile; nullptr: no server set
    } cases[] = {
        {"no server set", "later_a", nullptr},
        {"a wrong password", "later_b", "wrong"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        server_->Value(std::string("CREATE DATABASE ") + c.database + "; SELECT 1", "postgres");
        if (c.password != nullptr) {
            server_->PointStationHere(c.database);
            setenv("SURGE_HISTORY_PASSWORD", c.password, 1);
        }
        history::Start({});
        Record({"E1", "E2"});
        QThread::msleep(1500);
        history::Stop();
        server_->PointStationHere(c.database);
        history::Start({});
        Record({"E3"});
        EXPECT_TRUE(Await([&] { return OnServer(c.database) == "E1,E2,E3"; }));
        history::Stop();
    }
}

TEST_F(FeedTest, VerifyFullConnectsWithTheRightAuthorityAndRefusesAWrongNameOrAuthority) {
    const struct {
        const char* name;
        std::string host;
        std::string authority;
        bool connects;
    } cases[] = {
        {"the right authority", "127.0.0.1", server_->Authority(), true},
        {"a name the certificate does not hold", "localhost", server_->Authority(), false},
        {"another authority", "127.0.0.1", server_->OtherAuthority(), false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        const std::string database = "tls" + std::to_string(++n);
        server_->Value("CREATE DATABASE " + database + "; SELECT 1", "postgres");
        const std::string setting = "host=" + c.host + " port=" + std::to_string(server_->Port()) +
                                    " dbname=" + database + " user=" + PgServer::USER +
                                    " sslmode=verify-full sslrootcert=" + c.authority;
        setenv("SURGE_HISTORY_DB", setting.c_str(), 1);
        setenv("SURGE_HISTORY_PASSWORD", PgServer::PASSWORD, 1);
        tt::ClearShownPopups();
        history::Start({});
        Record({"T1"});
        if (c.connects) {
            EXPECT_TRUE(Await([&] { return OnServer(database) == "T1"; }));
            EXPECT_TRUE(Warnings().empty());
        } else {
            EXPECT_TRUE(Await([] { return !Warnings().empty(); }));
            QThread::msleep(1500);
            QCoreApplication::processEvents();
            ASSERT_EQ(Warnings().size(), 1u);
            EXPECT_NE(Warnings()[0].find("확인할 수 없어"), std::string::npos) << Warnings()[0];
            EXPECT_EQ(history::Waiting(), 1);
            EXPECT_NE(OnServer(database), "T1");
        }
        history::Stop();
    }
}

TEST_F(FeedTest, ShutdownLeavesAForwarderStuckOnTheServerBehindAndKeepsItsRecordQueued) {
    ScopedWorkDir dir;
    server_->Value("CREATE DATABASE stuck; SELECT 1", "postgres");
    server_->PointStationHere("stuck");
    history::Start({});
    Record({"S1"});
    ASSERT_TRUE(Await([] { return OnServer("stuck") == "S1"; }));
    // Another session holds the table: the station's next insert waits for it.
    {
        QSqlDatabase locker = QSqlDatabase::addDatabase("QPSQL", "locker");
        locker.setHostName("127.0.0.1");
        locker.setPort(server_->Port());
        locker.setDatabaseName("stuck");
        locker.setUserName(PgServer::USER);
        locker.setPassword(PgServer::PASSWORD);
        ASSERT_TRUE(locker.open());
        ASSERT_TRUE(locker.transaction());
        ASSERT_TRUE(QSqlQuery(locker).exec("LOCK TABLE inspection IN ACCESS EXCLUSIVE MODE"));
        Record({"S2"});
        const auto waiting_on_lock = [] {
            return server_->Value(
                       "SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event_type = "
                       "'Lock' AND datname = 'stuck'",
                       "postgres") == "1";
        };
        ASSERT_TRUE(Await(waiting_on_lock));
        history::Stop();
        // Stop came back while the insert still waited on the server.
        EXPECT_TRUE(waiting_on_lock());
        locker.rollback();
        locker.close();
    }
    QSqlDatabase::removeDatabase("locker");
    history::Start({});
    EXPECT_TRUE(Await([] { return OnServer("stuck") == "S1,S2"; }));
}

}  // namespace
