// surge-plant as a plant starts it: its settings file, the port it prints, its health, and its end
// at SIGTERM.
#include <csignal>
#include <filesystem>
#include <fstream>

#include "tests/plant/plant_fixture.h"

namespace {

TEST_F(PlantSuite, ProgramAnswersAndEndsAtSigterm) {
    const std::string dir = std::filesystem::temp_directory_path() / "surge-plant-program";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/pw") << "pw-plantweb\n";
    std::filesystem::permissions(dir + "/pw", std::filesystem::perms::owner_read);
    std::ofstream(dir + "/plant.ini")
        << "[listen]\nport = 0\n[database]\nport = " << server_->Port()
        << "\nname = " << PgServer::DATABASE << "\nuser = plantweb\npassword_file = " << dir
        << "/pw\n";
    QProcess program;
    program.start(SURGE_PLANT_PATH, {"--config", QString::fromStdString(dir + "/plant.ini")});
    ASSERT_TRUE(program.waitForReadyRead(20000));
    const QString line = QString::fromUtf8(program.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith("surge-plant: listening on 127.0.0.1:")) << line.toStdString();
    httplib::Client client("127.0.0.1", line.section(':', -1).toInt());
    const httplib::Result health = client.Get("/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->body, R"({"service":true,"database":true})");
    kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    std::filesystem::remove_all(dir);
}

}  // namespace
