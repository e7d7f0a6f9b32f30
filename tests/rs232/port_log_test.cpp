// The port library's lines in the log: every open with the device and its outcome, and a lost
// device once.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "log/log.h"
#include "log/log_testing.h"
#include "rs232/rs232.h"
#include "tests/support/sim_process.h"
#include "tests/support/work_dir.h"

namespace {

// The lines of station.log without their time (the first 30 characters).
std::vector<std::string> Logged() {
    std::istringstream in(ReadWholeFile(surge_log::LOG_FILE));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line.size() > 30 ? line.substr(30) : line);
    }
    return lines;
}

class PortLog : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("SURGE_LOG") != nullptr) {
            GTEST_SKIP() << "SURGE_LOG is set";
        }
        surge_log_testing::Reset();
    }
    void TearDown() override {
        CloseCom(1);
        CloseCom(4);
    }
    ScopedWorkDir dir_{false};
};

TEST_F(PortLog, EveryOpenIsLoggedWithItsDeviceAndOutcome) {
    SimProcess sim;
    const std::string com1 = "port 1: COM1 (" + sim.PtyPath() + ")";
    const struct {
        int port;
        const char* device;
        int data_bits;
        std::string logged;
    } cases[] = {
        {1, "COM1", 8, com1 + " opened"},
        {4, sim.PtyPath().c_str(), 8,
         "port 4: " + sim.PtyPath() + " not opened, status -5 (busy, opened by another program)"},
        {4, "/dev/surge-no-such-port", 8,
         "port 4: /dev/surge-no-such-port not opened, status -3 (no such device)"},
        {4, "", 8, "port 4: no device not opened, status -3 (no such device)"},
        {4, "/dev/null", 9,
         "port 4: /dev/null not opened, status -6 (a setting the device does not accept)"},
        {9, "/dev/null", 8, "port 9: /dev/null not opened, status -2 (invalid port number)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        std::remove(surge_log::LOG_FILE);
        OpenComConfig(c.port, c.device, 115200, 0, c.data_bits, 1, 512, 512);
        EXPECT_EQ(Logged(), std::vector<std::string>{"serial " + c.logged});
    }
}

TEST_F(PortLog, ALostDeviceIsLoggedOnceWhateverComesAfter) {
    SimProcess sim({"--hangup-after", "1"});
    ASSERT_EQ(OpenComConfig(1, "COM1", 115200, 0, 8, 1, 512, 512), 0);
    SetComTime(1, 1.0);
    char reply[300];
    ComWrt(1, "ME\r", 3);
    ASSERT_EQ(ComRd(1, reply, 10), 10);
    ComWrt(1, "WT\r", 3);
    ASSERT_EQ(ComRd(1, reply, 300), RS232_DEVICE_LOST);
    EXPECT_EQ(ComWrt(1, "ME\r", 3), RS232_DEVICE_LOST);
    EXPECT_EQ(ComRd(1, reply, 10), RS232_DEVICE_LOST);
    EXPECT_EQ(FlushInQ(1), RS232_DEVICE_LOST);
    const std::string com1 = "port 1: COM1 (" + sim.PtyPath() + ")";
    EXPECT_EQ(Logged(),
              (std::vector<std::string>{"serial " + com1 + " opened",
                                        "serial " + com1 + " lost during a read, status -9"}));
}

}  // namespace
