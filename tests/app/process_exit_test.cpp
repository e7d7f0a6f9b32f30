// The station as a process: it ends with -1, silently and without touching the serial port,
// when its panels cannot be loaded; a signal of the session's end ends it as its quit does.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <chrono>
#include <csignal>
#include <regex>
#include <thread>

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

    // Starts the station in the folder on `platform`, its port missing, and waits until it has
    // tried the port (at most `seconds`); then half a second more for what follows.
    bool StartAndAwaitPort(QProcess* station, const QString& platform, const QString& display,
                           int seconds) {
        WriteWholeFile(dir_.File("surge.uir"), ReadWholeFile(SURGE_UIR_PATH));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", platform);
        if (!display.isEmpty()) {
            env.insert("DISPLAY", display);
        }
        env.insert("SURGE_COM1", QString::fromStdString(dir_.File("no-such-port")));
        station->setProcessEnvironment(env);
        station->setWorkingDirectory(QString::fromStdString(dir_.Path()));
        station->start(SURGE_STATION_PATH, {});
        if (!station->waitForStarted()) {
            return false;
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (ReadWholeFile(dir_.File("station.log")).find("serial") == std::string::npos) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return true;
    }
    // Whether the station ended within 5 s; killed if not.
    static bool EndsWithin5s(QProcess* station) {
        if (station->waitForFinished(5000)) {
            return true;
        }
        station->kill();
        station->waitForFinished();
        return false;
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

// Each signal a logout or a shutdown sends, while a warning at start-up (a spreadsheet path too
// long) waits for an answer nobody gives: the station closes it, quits and logs as its quit does.
TEST_F(ProcessExitTest, ASignalEndsTheStationAsItsQuitDoes) {
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        WriteWholeFile(dir_.File("excel_path.txt"), std::string(300, 'x'));
        std::remove(dir_.File("station.log").c_str());
        QProcess station;
        // The port is tried just before the warning opens; the toolkit logs it once it closes.
        StartAndAwaitPort(&station, "offscreen", QString(), 10);
        const auto sent = std::chrono::steady_clock::now();
        kill(static_cast<pid_t>(station.processId()), number);
        ASSERT_TRUE(EndsWithin5s(&station)) << "still running 5 s after the signal";
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5));
        EXPECT_EQ(station.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(station.exitCode(), 0);
        const std::string log = ReadWholeFile(dir_.File("station.log"));
        EXPECT_NE(log.find("signal " + std::to_string(number) + ": the station ends"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("엑셀 프로그램 경로가 너무 깁니다"), std::string::npos) << log;
        EXPECT_EQ(log.rfind("station stopped\n") + 16, log.size()) << log;
    }
}

// The X server gone, as at a logout: Qt would exit with 1 at once; the station ends in order first.
TEST_F(ProcessExitTest, ALostDisplayEndsTheStationAsItsQuitDoes) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty()) {
        GTEST_SKIP() << "no Xvfb";
    }
#ifdef __SANITIZE_ADDRESS__
    // The sanitized station did not come up on Xvfb within a minute on the CI's two cores; the
    // process stage runs this with the station as built.
    GTEST_SKIP() << "not under the sanitizers";
#endif
    // The display's number once it is ready, from Xvfb itself.
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    QProcess display;
    display.setChildProcessModifier([fd = pipe_fds[1]] { dup2(fd, 3); });
    display.start("Xvfb", {"-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    ASSERT_TRUE(display.waitForStarted());
    close(pipe_fds[1]);
    char number[16] = {0};
    ASSERT_GT(read(pipe_fds[0], number, sizeof number - 1), 0);
    close(pipe_fds[0]);
    QProcess station;
    // A station built with the sanitizers on a busy machine takes seconds to come up.
    ASSERT_TRUE(StartAndAwaitPort(&station, "xcb", ":" + QString::fromLatin1(number).trimmed(), 60))
        << "the station did not come up on the display";
    display.kill();
    display.waitForFinished();
    ASSERT_TRUE(EndsWithin5s(&station)) << "still running 5 s after the display went";
    EXPECT_EQ(station.exitCode(), 0);
    const std::string log = ReadWholeFile(dir_.File("station.log"));
    EXPECT_NE(log.find("the display is lost"), std::string::npos) << log;
    EXPECT_EQ(log.rfind("station stopped\n") + 16, log.size()) << log;
}

}  // namespace
