// surge-sim as a process: its start-up line, its log, its pacing and its exit.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/support/sim_process.h"

namespace {

// The station's end of the line, opened raw.
class Terminal {
  public:
    explicit Terminal(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios settings{};
        tcgetattr(fd_, &settings);
        cfmakeraw(&settings);
        tcsetattr(fd_, TCSANOW, &settings);
    }
    ~Terminal() { close(fd_); }
    bool Ok() const { return fd_ >= 0; }

    std::string Ask(const std::string& command, std::size_t length, int timeout_ms = 2000) {
        EXPECT_EQ(write(fd_, command.data(), command.size()), static_cast<ssize_t>(command.size()));
        std::string reply;
        pollfd entry{fd_, POLLIN, 0};
        while (reply.size() < length && poll(&entry, 1, timeout_ms) > 0) {
            char chunk[512];
            const ssize_t got = read(fd_, chunk, std::min(sizeof chunk, length - reply.size()));
            if (got <= 0) {
                break;
            }
            reply.append(chunk, static_cast<std::size_t>(got));
        }
        return reply;
    }
    // Waits for the line to drop.
    bool HungUp(int timeout_ms) {
        pollfd entry{fd_, 0, 0};
        return poll(&entry, 1, timeout_ms) > 0 && (entry.revents & POLLHUP) != 0;
    }
    bool Takes(const std::string& bytes) {
        return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

  private:
    int fd_;
};

TEST(SimProcess, NamesItsTerminalFirstAndStopsCleanlyOnSigterm) {
    SimProcess sim;
    EXPECT_EQ(access(sim.PtyPath().c_str(), R_OK | W_OK), 0) << sim.PtyPath();
    EXPECT_STREQ(getenv("SURGE_COM1"), sim.PtyPath().c_str());
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_NE(sim.Log().find("stopped by signal 15"), std::string::npos) << sim.Log();
}

TEST(SimProcess, ABadOptionStopsItBeforeItOffersATerminal) {
    EXPECT_THROW(SimProcess({"--shorted-turns", "95"}), std::runtime_error);
}

TEST(SimProcess, LogsEveryCommandWithATimestamp) {
    SimProcess sim;
    Terminal station(sim.PtyPath());
    ASSERT_TRUE(station.Ok());
    EXPECT_EQ(station.Ask("ME\r", 10), "0345051007");
    EXPECT_EQ(station.Ask("XY\r", 1, 100), "") << "an unknown command gets no reply";
    EXPECT_EQ(station.Ask("RE\r", 6).size(), 6u);
    ASSERT_TRUE(sim.WaitForCommands(3));
    EXPECT_EQ(sim.Commands(), (std::vector<std::string>{"ME", "XY", "RE"}));
    const std::regex received(R"(^\d+\.\d{6} RX ME\\r$)");
    bool found = false;
    std::istringstream lines(sim.Log());
    for (std::string line; std::getline(lines, line);) {
        found = found || std::regex_match(line, received);
    }
    EXPECT_TRUE(found) << sim.Log();
}

TEST(SimProcess, AHangUpAfterAReplyDropsTheLineOnceTheReplyWasRead) {
    SimProcess sim({"--hangup-after-reply", "ME"});
    Terminal station(sim.PtyPath());
    ASSERT_TRUE(station.Ok());
    EXPECT_EQ(station.Ask("ME\r", 10), "0345051007");
    ASSERT_TRUE(station.HungUp(2000));
    EXPECT_FALSE(station.Takes("ST\r"));
    EXPECT_NE(sim.Log().find("hang-up after the reply to ME (injected)"), std::string::npos)
        << sim.Log();
    EXPECT_EQ(sim.Commands(), std::vector<std::string>{"ME"});
}

TEST(SimProcess, PacedRepliesTakeTheirLineTime) {
    SimProcess sim({"--pace"});
    Terminal station(sim.PtyPath());
    ASSERT_TRUE(station.Ok());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(station.Ask("WS\r", 300).size(), 300u);
    // 303 bytes of 10 bits at 115200 baud: the simulator can never be faster than the line.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(26000));
}

}  // namespace
