// What the server tests share: one PostgreSQL a suite (each test skipped where it cannot start),
// the station's server settings cleared after each test, the event loop run while the station
// forwards, and a look into a station's file.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <chrono>
#include <cstdlib>
#include <string>

#include "history/recorder.h"
#include "records/database_file.h"
#include "tests/history/server/pg_server.h"
#include "tests/support/file_rows.h"
#include "toolkit/toolkit_testing.h"

class ServerSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { server_ = new PgServer; }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (!server_->WhyNot().empty()) {
            GTEST_SKIP() << "PostgreSQL cannot start here: " << server_->WhyNot();
        }
        toolkit_testing::ClearShownPopups();
    }
    void TearDown() override {
        history::Stop();
        unsetenv("SURGE_HISTORY_DB");
        unsetenv("SURGE_HISTORY_PASSWORD");
    }
    // Runs the event loop until `done` or 20 s.
    template <typename Done>
    static bool Await(Done done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < until) {
            RunEvents(20);
        }
        return done();
    }
    static void RunEvents(int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            QCoreApplication::processEvents();
            toolkit_testing::RunDeferredCalls();
            QThread::msleep(10);
        }
    }
    // Makes `database` a witness (surge-audit setup-server as the plant's DBA, the server's own
    // superuser) with `station` appending as `login` (made, password "pw-" and its name); the
    // tool's output, empty when it failed.
    static std::string MakeWitness(const std::string& database, const std::string& station,
                                   const std::string& login) {
        if (server_->Value("SELECT COUNT(*) FROM pg_roles WHERE rolname = '" + login + "'",
                           "postgres") == "0") {
            server_->Value("CREATE ROLE " + login + " LOGIN PASSWORD 'pw-" + login + "'",
                           "postgres");
        }
        std::string output;
        const bool done = server_->RunAsDba(SURGE_AUDIT_PATH,
                                            {"setup-server", "--station",
                                             QString::fromStdString(station + "=" + login)},
                                            "", database, &output) == 0;
        if (!done) {
            ADD_FAILURE() << output;
        }
        return done ? output : std::string();
    }
    // The station logs in as `login` (MakeWitness's).
    static void PointStationAs(const std::string& database, const std::string& login) {
        server_->PointStationHere(database, login, "pw-" + login);
    }
    // The first column of the first row of `sql` on the station's file in `dir`, as text.
    static std::string FileValue(const std::string& sql, const std::string& dir = ".") {
        const FileRows rows = QueryFile(sql, dir + "/" + records::DATABASE_FILE);
        return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
    }

    inline static PgServer* server_ = nullptr;
};
