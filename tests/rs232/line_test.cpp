// The port library on the simulator's pseudo-terminal.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "rs232/rs232.h"
#include "tests/support/sim_process.h"

namespace {

class Line : public ::testing::Test {
  protected:
    void Start(const std::vector<std::string>& options = {}) {
        sim_.emplace(options);
        ASSERT_EQ(OpenComConfig(1, "COM1", 115200, 0, 8, 1, 512, 512), 0);
        SetCTSMode(1, 0);
        SetComTime(1, 1.0);
        FlushInQ(1);
        FlushOutQ(1);
    }
    void TearDown() override { CloseCom(1); }

    // Writes `command` and reads up to `length` bytes.
    std::string Ask(const char* command, int length, int* arrived = nullptr) {
        ComWrt(1, command, 3);
        std::string reply(static_cast<std::size_t>(length), '\0');
        const int got = ComRd(1, reply.data(), length);
        if (arrived != nullptr) {
            *arrived = got;
        }
        reply.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return reply;
    }

    // Lets bytes sent after a reply reach the driver's queue.
    static int QueueLengthAfterSettling() {
        int length = 0;
        for (int i = 0; i < 100 && length == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            length = GetInQLen(1);
        }
        return length;
    }

    std::optional<SimProcess> sim_;
};

TEST_F(Line, AReadCollectsAReplyThatArrivesByteByByte) {
    Start({"--pace"});
    EXPECT_EQ(Ask("WS\r", 300).size(), 300u);
    EXPECT_EQ(Ask("ME\r", 10), "0345051007");
}

TEST_F(Line, AReadWithoutAReplyGivesUpAfterTheTimeoutWithNothing) {
    Start({"--no-reply", "ME"});
    SetComTime(1, 0.2);
    const auto start = std::chrono::steady_clock::now();
    int arrived = -1;
    Ask("ME\r", 10, &arrived);
    EXPECT_EQ(arrived, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(Line, FlushInQDiscardsBytesHeldByQtAndByTheDriver) {
    Start({"--extra-bytes", "ME:3", "--extra-bytes", "ST:2"});
    // The extra bytes come with the reply, so Qt reads them into its own buffer.
    EXPECT_EQ(Ask("ME\r", 10), "0345051007");
    EXPECT_EQ(QueueLengthAfterSettling(), 3);
    EXPECT_EQ(FlushInQ(1), 0);
    EXPECT_EQ(GetInQLen(1), 0);
    // Nothing reads after "ST": the stray bytes wait in the driver's queue.
    ComWrt(1, "ST\r", 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(FlushInQ(1), 0);
    EXPECT_EQ(GetInQLen(1), 0);
    EXPECT_EQ(Ask("ME\r", 10), "0345051007");
}

TEST_F(Line, AHangUpDuringAReadIsReportedAsALostDevice) {
    Start({"--hangup-after", "1"});
    EXPECT_EQ(Ask("ME\r", 10), "0345051007");
    int arrived = 0;
    Ask("WT\r", 300, &arrived);
    EXPECT_EQ(arrived, RS232_DEVICE_LOST);
    char reply[10];
    EXPECT_EQ(ComWrt(1, "ME\r", 3), RS232_DEVICE_LOST);
    EXPECT_EQ(ComRd(1, reply, 10), RS232_DEVICE_LOST);
    EXPECT_EQ(FlushInQ(1), RS232_DEVICE_LOST);
    EXPECT_EQ(CloseCom(1), 0);
}

TEST_F(Line, ASecondOpenOfTheSameDeviceIsBusy) {
    Start();
    EXPECT_EQ(OpenComConfig(2, sim_->PtyPath().c_str(), 115200, 0, 8, 1, 512, 512), RS232_BUSY);
    CloseCom(2);
}

TEST_F(Line, EventsKeepBeingDeliveredWhileAReadWaits) {
    Start({"--no-reply", "RE"});
    SetComTime(1, 0.5);
    bool fired = false;
    QTimer::singleShot(20, [&fired] { fired = true; });
    Ask("RE\r", 6);
    EXPECT_TRUE(fired);
}

TEST_F(Line, ClosingAndReopeningKeepsTheLineUsable) {
    Start();
    EXPECT_EQ(CloseCom(1), 0);
    EXPECT_EQ(CloseCom(1), RS232_PORT_NOT_OPEN);
    ASSERT_EQ(OpenComConfig(1, "COM1", 115200, 0, 8, 1, 512, 512), 0);
    EXPECT_EQ(Ask("RE\r", 6).size(), 6u);
}

}  // namespace
