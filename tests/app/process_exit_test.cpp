// The station as a process: it ends with -1, silently and without touching the serial port,
// when its panels cannot be loaded.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <regex>

#include "tests/support/work_dir.h"

namespace {

// Watches a file for any open.
class OpenWatch {
  public:
    explicit OpenWatch(const std::string& path) {
        fd_ = inotify_init1(IN_NONBLOCK);
        inotify_add_watch(fd_, path.c_str(), IN_OPEN);
    }
    ~OpenWatch() { close(fd_); }
    bool Opened() {
        char events[4096];
        return read(fd_, events, sizeof events) > 0;
    }

  private:
    int fd_;
};

struct StationRun {
    bool finished;
    int exit_code;
    QByteArray output;
};

StationRun RunStation(const ScopedWorkDir& dir) {
    QProcess station;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SURGE_COM1", QString::fromStdString(dir.File("com1")));
    station.setProcessEnvironment(env);
    station.setWorkingDirectory(QString::fromStdString(dir.Path()));
    station.setProcessChannelMode(QProcess::MergedChannels);
    station.start(SURGE_STATION_PATH, {});
    const bool finished = station.waitForFinished(30000);
    if (!finished) {
        station.kill();
        station.waitForFinished();
    }
    return {finished, station.exitCode(), station.readAll()};
}

std::string EditedResource(const std::string& pattern, const std::string& replacement) {
    return std::regex_replace(ReadWholeFile(SURGE_UIR_PATH), std::regex(pattern), replacement);
}

class ProcessExitTest : public ::testing::Test {
  protected:
    void ExpectSilentFailure(const char* what) {
        WriteWholeFile(dir_.File("com1"), "");
        OpenWatch watch(dir_.File("com1"));
        const StationRun run = RunStation(dir_);
        ASSERT_TRUE(run.finished) << what << ": the station did not end (a popup waiting?)";
        EXPECT_EQ(run.exit_code, 255) << what;  // -1 as the process sees it
        EXPECT_FALSE(watch.Opened()) << what << ": the serial port was touched";

        // The watch does see an open: the silence above means something.
        WriteWholeFile(dir_.File("com1"), "x");
        EXPECT_TRUE(watch.Opened());
    }

    ScopedWorkDir dir_{false};
};

TEST_F(ProcessExitTest, WithoutThePanelResource) {
    ExpectSilentFailure("no surge.uir");
}

TEST_F(ProcessExitTest, WithAnUnreadablePanelResource) {
    WriteWholeFile(dir_.File("surge.uir"), "<ui version=\"4.0\"><widget class=");
    ExpectSilentFailure("damaged surge.uir");
}

TEST_F(ProcessExitTest, WithEachPanelMissing) {
    for (int id : {1, 3, 2}) {
        const std::string pattern =
            "(name=\"panelId\" stdset=\"0\">\\s*<number>)" + std::to_string(id) + "(</number>)";
        WriteWholeFile(dir_.File("surge.uir"), EditedResource(pattern, "${1}99$2"));
        ExpectSilentFailure(("panel " + std::to_string(id) + " missing").c_str());
    }
}

TEST_F(ProcessExitTest, WithACallbackThatTheStationDoesNotHave) {
    WriteWholeFile(dir_.File("surge.uir"), EditedResource("<string>Master_cancel</string>",
                                                          "<string>Master_gone</string>"));
    ExpectSilentFailure("unknown callback");
}

}  // namespace
