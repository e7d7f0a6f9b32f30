// What the plant view's tests share: one PostgreSQL a suite (each test skipped where it cannot
// start), and the service on a free port of the loopback, over plain HTTP, asked by a client.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <thread>

#include "plant/service.h"
#include "tests/history/server/pg_server.h"

class PlantSuite : public ::testing::Test {
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
    }
    void TearDown() override { StopService(); }

    // The settings of a service on the test's server, logging in as its superuser.
    static plant::Settings SettingsHere() {
        plant::Settings settings;
        settings.listen_port = 0;
        settings.db_port = server_->Port();
        settings.db_name = PgServer::DATABASE;
        settings.db_user = PgServer::USER;
        settings.db_password = PgServer::PASSWORD;
        settings.plain_http_test_run = true;
        return settings;
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

    static inline PgServer* server_ = nullptr;

  private:
    std::unique_ptr<plant::Service> service_;
    std::thread runner_;
    std::unique_ptr<httplib::Client> client_;
};
