// SURGE_HISTORY_DB and the password: what a station accepts, and what it refuses with a reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "records/server_config.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"

namespace {

TEST(ServerConfig, TakesTheServerAndAPasswordOnlyFromWhereItMayCome) {
    ScopedWorkDir dir(false);
    const struct {
        const char* setting;
        const char* password;  // SURGE_HISTORY_PASSWORD, or nullptr
        int file_mode;         // of SURGE_HISTORY_PASSWORD_FILE, or 0 for none
        const char* expected;  // "where password", or the start of the error
    } cases[] = {
        {"", nullptr, 0, "none"},
        {"host=db port=5433 dbname=plant user=line3", "pw", 0, "db:5433/plant pw"},
        {"host=db dbname=plant user=line3", nullptr, 0600, "db:5432/plant from-file"},
        {"host=db dbname=plant user=line3", "pw", 0640, "암호 파일"},
        {"host=db dbname=plant user=line3", nullptr, 0604, "암호 파일"},
        {"host=db dbname=plant user=line3 password=pw", nullptr, 0, "SURGE_HISTORY_DB 에는 암호"},
        {"host=db port=x dbname=plant user=line3", nullptr, 0, "SURGE_HISTORY_DB 의 port=x"},
        {"host=db dbname=plant", nullptr, 0, "SURGE_HISTORY_DB 에 host"},
        {"host=db dbname=plant user=line3 sslmode=verify-full sslrootcert=/etc/surge/ca.pem", "pw",
         0, "db:5432/plant pw"},
        {"host=db dbname=plant user=line3 sslmode=sometimes", "pw", 0,
         "SURGE_HISTORY_DB 의 sslmode=sometimes"},
        // A mistyped password key: its value never reaches a message, nor the log.
        {"host=db dbname=plant user=line3 passwd=secret", nullptr, 0,
         "SURGE_HISTORY_DB 의 passwd 을"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        setenv("SURGE_HISTORY_DB", c.setting, 1);
        c.password ? setenv("SURGE_HISTORY_PASSWORD", c.password, 1)
                   : unsetenv("SURGE_HISTORY_PASSWORD");
        if (c.file_mode != 0) {
            WriteWholeFile(dir.File("pw"), "from-file\n");
            chmod(dir.File("pw").c_str(), static_cast<mode_t>(c.file_mode));
            setenv("SURGE_HISTORY_PASSWORD_FILE", dir.File("pw").c_str(), 1);
        } else {
            unsetenv("SURGE_HISTORY_PASSWORD_FILE");
        }
        QString error;
        const auto config = records::ReadServerConfig(&error);
        const std::string got = config ? (config->Where() + " " + config->password).toStdString()
                                       : (error.isEmpty() ? "none" : error.toStdString());
        EXPECT_EQ(got.rfind(c.expected, 0), 0u) << got;
    }
    unsetenv("SURGE_HISTORY_DB");
    unsetenv("SURGE_HISTORY_PASSWORD");
    unsetenv("SURGE_HISTORY_PASSWORD_FILE");
}

TEST(ServerConfig, ThePasswordNeverReachesAProgramTheStationStarts) {
    ScopedWorkDir dir;
    setenv("SURGE_HISTORY_DB", "host=db dbname=plant user=line3", 1);
    setenv("SURGE_HISTORY_PASSWORD", "plant-secret", 1);
    QString error;
    ASSERT_EQ(records::ReadServerConfig(&error)->password, "plant-secret");
    WriteWholeFile("dump.sh", "env > environment.txt\n");
    ASSERT_EQ(LaunchProgram("/bin/sh", "dump.sh"), 0);
    for (int i = 0; i < 200 && ReadWholeFile("environment.txt").empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string environment = ReadWholeFile("environment.txt");
    EXPECT_NE(environment.find("SURGE_HISTORY_DB"), std::string::npos);
    EXPECT_EQ(environment.find("plant-secret"), std::string::npos);
    // Read again, the setting still has its password.
    EXPECT_EQ(records::ReadServerConfig(&error)->password, "plant-secret");
    unsetenv("SURGE_HISTORY_DB");
}

}  // namespace
