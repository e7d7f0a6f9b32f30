// The plant view's settings file: what it sets, and each value it refuses, with why.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "plant/plant_settings.h"

namespace {

struct SettingsCase {
    const char* name;
    const char* ini;
    mode_t password_mode;
    const char* problem;  // what the problem says, "" when the file is taken
};

class PlantSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(PlantSettingsTest, Reads) {
    const SettingsCase& settings_case = GetParam();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("surge-plant-settings-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "pw") << "db-secret\n";
    chmod((dir / "pw").c_str(), settings_case.password_mode);
    std::string ini = settings_case.ini;
    for (size_t at; (at = ini.find("PW")) != std::string::npos;) {
        ini.replace(at, 2, (dir / "pw").string());
    }
    std::ofstream(dir / "plant.ini") << ini;
    std::string problem;
    const std::optional<plant::Settings> read =
        plant::ReadSettings((dir / "plant.ini").string(), &problem);
    const std::string expected = settings_case.problem;
    if (!expected.empty()) {
        EXPECT_FALSE(read);
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
    } else {
        EXPECT_EQ(problem, "");
        ASSERT_TRUE(read);
        EXPECT_EQ(read->listen_port, 8443);
        EXPECT_EQ(read->db_name, "surge");
        EXPECT_EQ(read->db_password, "db-secret");
        EXPECT_EQ(read->idle_minutes, 20);
        EXPECT_FALSE(read->plain_http_test_run);
    }
    std::filesystem::remove_all(dir);
}

constexpr const char* DATABASE = "[database]\nname = surge\nuser = plantweb\npassword_file = PW\n";

INSTANTIATE_TEST_SUITE_P(
    Plant, PlantSettingsTest,
    ::testing::Values(
        SettingsCase{"Whole",
                     "[listen]\nport = 8443\n[database]\nname = surge\nuser = plantweb\n"
                     "password_file = PW\n[session]\nidle_minutes = 20\n",
                     0600, ""},
        SettingsCase{"PortOutOfRange", "[listen]\nport = 70000\n", 0600,
                     "listen/port: not a number from 0 to 65535"},
        SettingsCase{"PasswordOthersMayRead", DATABASE, 0644,
                     "을 다른 사용자도 읽을 수 있습니다 (chmod 600)."},
        SettingsCase{"NoDatabaseName", "[database]\nuser = plantweb\n", 0600,
                     "database/name and database/user must be set"},
        SettingsCase{"CertificateWithoutKey",
                     "[database]\nname = surge\nuser = plantweb\n[tls]\ncertificate = a.pem\n",
                     0600, "tls/certificate and tls/key are set together or not at all"}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return info.param.name; });

}  // namespace
