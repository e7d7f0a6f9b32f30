// What the plant view's tests share: one PostgreSQL a suite (each test skipped where it cannot
// start), set up by surge-audit setup-server with the service's login "plantweb"; plant users made
// by surge-users --server; the service on a free port of the loopback, over plain HTTP, asked by a
// client.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <QDateTime>
#include <cstdlib>
#include <memory>
#include <thread>

#include "plant/service.h"
#include "tests/history/server/pg_server.h"

class PlantSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server_ = new PgServer;
        if (server_->WhyNot().empty()) {
            server_->Value("CREATE ROLE plantweb LOGIN PASSWORD 'pw-plantweb'", "postgres");
            set_up_ = Tool(SURGE_AUDIT_PATH, {"setup-server", "--plant", "plantweb"}, "") == 0;
        }
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (!server_->WhyNot().empty()) {
            GTEST_SKIP() << "PostgreSQL cannot start here: " << server_->WhyNot();
        }
        ASSERT_TRUE(set_up_) << "surge-audit setup-server failed";
    }
    void TearDown() override { StopService(); }

    // The settings of a service on the test's server, logging in as "plantweb".
    static plant::Settings SettingsHere() {
        plant::Settings settings;
        settings.listen_port = 0;
        settings.db_port = server_->Port();
        settings.db_name = PgServer::DATABASE;
        settings.db_user = "plantweb";
        settings.db_password = "pw-plantweb";
        settings.plain_http_test_run = true;
        return settings;
    }
    // Runs a tool as the plant's DBA (the server's superuser), `input` on its standard input; its
    // exit code.
    static int Tool(const char* program, const QStringList& arguments, const std::string& input) {
        return server_->RunAsDba(program, arguments, input);
    }
    // A plant user made by surge-users --server, with the password "pw-" and the name.
    static void AddUser(const std::string& name, const std::string& role) {
        ASSERT_EQ(
            Tool(SURGE_USERS_PATH,
                 {"--server", "add", QString::fromStdString(name), QString::fromStdString(role)},
                 "pw-" + name + "\n"),
            0);
    }
    // POST /login with a form; the answer.
    httplib::Result LogIn(const std::string& name, const std::string& password) {
        return Client().Post("/login", httplib::Params{{"name", name}, {"password", password}});
    }
    // The headers of a session of `name` (its cookie, and its CSRF token unless `csrf` is false).
    httplib::Headers SessionOf(const std::string& name, bool csrf = true) {
        const httplib::Result login = LogIn(name, "pw-" + name);
        if (!login || login->status != 303) {
            ADD_FAILURE() << "no login for " << name;
            return {};
        }
        const std::string cookie = login->get_header_value("Set-Cookie");
        httplib::Headers headers{{"Cookie", cookie.substr(0, cookie.find(';'))}};
        const httplib::Result session = Client().Get("/api/session", headers);
        const std::string body = session ? session->body : "";
        const size_t at = body.find("\"csrf\":\"");
        if (csrf && at != std::string::npos) {
            headers.emplace("X-CSRF-Token", body.substr(at + 8, 64));
        }
        return headers;
    }
    void StartService(const plant::Settings& settings) {
        service_ = std::make_unique<plant::Service>(settings);
        std::string problem;
        ASSERT_TRUE(service_->Bind(&problem)) << problem;
        runner_ = std::thread([this] { service_->Run(); });
        client_ = std::make_unique<httplib::Client>("127.0.0.1", service_->Port());
        client_->set_read_timeout(10);
    }
    void StopService() {
        if (service_) {
            service_->Stop();
            runner_.join();
            service_.reset();
        }
    }
    httplib::Client& Client() { return *client_; }
    int Port() const { return service_->Port(); }

    // A record of `station` now, as a station's INSERT into the server's table of them.
    static void Record(const std::string& station, const std::string& master,
                       const std::string& outcome, int reference = 0, int wave_alarm = 0,
                       const std::string& serial = "S-1") {
        const std::string now = Now();
        server_->Value(
            "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, "
            "model_no, outcome, stopped_at, attempt, reference, wave_alarm) VALUES "
            "(gen_random_uuid()::text, '" +
            station + "', '" + now + "', '" + now + "', '" + serial + "', '" + master +
            "', 'X', '" + outcome + "', '', 1, " + std::to_string(reference) + ", " +
            std::to_string(wave_alarm) + ")");
    }
    // The local time as a station writes it, "2026-12-11T10:15:02.123+00:00".
    static std::string Now() {
        const QDateTime now = QDateTime::currentDateTime();
        const int minutes = now.offsetFromUtc() / 60;
        return (now.toString("yyyy-MM-ddTHH:mm:ss.zzz") + (minutes < 0 ? "-" : "+") +
                QString("%1:%2")
                    .arg(std::abs(minutes) / 60, 2, 10, QChar('0'))
                    .arg(std::abs(minutes) % 60, 2, 10, QChar('0')))
            .toStdString();
    }

    static inline PgServer* server_ = nullptr;
    static inline bool set_up_ = false;

  private:
    std::unique_ptr<plant::Service> service_;
    std::thread runner_;
    std::unique_ptr<httplib::Client> client_;
};
