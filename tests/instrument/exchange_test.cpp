// Exchanges through the real port library with the simulator on its pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "instrument/serial.h"
#include "rs232/rs232.h"
#include "tests/support/sim_process.h"

namespace {

class ExchangeTest : public ::testing::Test {
  protected:
    void Start(const std::vector<std::string>& options = {}) {
        sim_.emplace(options);
        Init_com_port();
        ASSERT_EQ(RS232Error, 0);
    }
    void TearDown() override { Close_com_port(); }

    std::string Reply(const char* command, int length, int* arrived = nullptr) {
        char target[WAVE_LENGTH] = {};
        const int got = Exchange(work_, command, target, length);
        if (arrived != nullptr) {
            *arrived = got;
        }
        return std::string(target, static_cast<std::size_t>(got));
    }

    // Waits until the simulator has sent what follows a reply.
    static void WaitForQueued(int count) {
        for (int i = 0; i < 200 && GetInQLen(1) < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_EQ(GetInQLen(1), count);
    }

    char work_[WORK_BUFFER_SIZE] = {};
    std::optional<SimProcess> sim_;
};

TEST_F(ExchangeTest, EachCommandWritesItsThreeBytesAndReadsItsReply) {
    Start();
    const struct {
        const char* command;
        int length;
    } cases[] = {{CMD_SETUP, SETUP_REPLY_LENGTH},
                 {CMD_START, 0},
                 {CMD_TEST_WAVE, WAVE_LENGTH},
                 {CMD_STANDARD_WAVE, WAVE_LENGTH},
                 {CMD_RESULT, RESULT_REPLY_LENGTH}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(Reply(c.command, c.length).size(), static_cast<std::size_t>(c.length));
    }
    // No NUL or other byte follows a command, and "ST" gets no reply.
    EXPECT_EQ(sim_->Commands(), (std::vector<std::string>{"ME", "ST", "WT", "WS", "RE"}));
    EXPECT_EQ(GetInQLen(1), 0);
}

TEST_F(ExchangeTest, ShortRepliesLandInTheWorkBufferOverTheCommand) {
    Start();
    EXPECT_EQ(Exchange(work_, CMD_SETUP, work_, SETUP_REPLY_LENGTH), SETUP_REPLY_LENGTH);
    EXPECT_EQ(std::string(work_), "0345051007");
    EXPECT_EQ(Check_range(work_), 0);
}

TEST_F(ExchangeTest, AShortedWindingFlipsTheVerdict) {
    const struct {
        const char* shorted_turns;
        bool pass;
    } cases[] = {{"0", true}, {"10", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shorted_turns);
        Start({"--shorted-turns", c.shorted_turns});
        char work[WORK_BUFFER_SIZE] = {};
        Exchange(work, CMD_START, nullptr, 0);
        ASSERT_EQ(Exchange(work, CMD_RESULT, work, RESULT_REPLY_LENGTH), RESULT_REPLY_LENGTH);
        EXPECT_EQ(Decode_result(work).pass, c.pass) << work;
        Close_com_port();
    }
}

TEST_F(ExchangeTest, TheStandardWaveRingsAroundZeroAfterDecoding) {
    Start();
    signed char wave[WAVE_LENGTH];
    ASSERT_EQ(Exchange(work_, CMD_STANDARD_WAVE, reinterpret_cast<char*>(wave), WAVE_LENGTH),
              WAVE_LENGTH);
    Decode_wave(wave, WAVE_LENGTH);
    int highest = -128, lowest = 127;
    for (const signed char sample : wave) {
        highest = std::max<int>(highest, sample);
        lowest = std::min<int>(lowest, sample);
    }
    EXPECT_GT(highest, 50);
    EXPECT_LT(lowest, -30);
    EXPECT_LE(std::abs(wave[0]), 3) << "flat before the impulse";
}

TEST_F(ExchangeTest, InjectedFaultsReachTheCallerAsTheyHappen) {
    const struct {
        std::vector<std::string> options;
        const char* command;
        int length;
        int arrived;
        std::string reply;
    } cases[] = {
        {{"--no-reply", "ME"}, CMD_SETUP, SETUP_REPLY_LENGTH, 0, ""},
        {{"--short-reply", "ME:9"}, CMD_SETUP, SETUP_REPLY_LENGTH, 9, "034505100"},
        {{"--short-reply", "WS:100"}, CMD_STANDARD_WAVE, WAVE_LENGTH, 100, ""},
        {{"--garbage", "ME:2"},
         CMD_SETUP,
         SETUP_REPLY_LENGTH,
         10,
         "\xFF\xFF"
         "03450510"},
        {{"--extra-bytes", "RE:3"}, CMD_RESULT, RESULT_REPLY_LENGTH, 6, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[0] + " " + c.options[1]);
        Start(c.options);
        SetComTime(1, 0.2);
        int arrived = -1;
        const std::string reply = Reply(c.command, c.length, &arrived);
        EXPECT_EQ(arrived, c.arrived);
        if (!c.reply.empty()) {
            EXPECT_EQ(reply, c.reply);
        }
        Close_com_port();
    }
}

TEST_F(ExchangeTest, ANineByteSetupReplyIsRejectedInAZeroedWorkBuffer) {
    Start({"--short-reply", "ME:9"});
    SetComTime(1, 0.2);
    EXPECT_EQ(Exchange(work_, CMD_SETUP, work_, SETUP_REPLY_LENGTH), 9);
    EXPECT_EQ(Check_range(work_), 1);
}

TEST_F(ExchangeTest, StrayBytesAfterAReplyDoNotShiftTheNextReply) {
    Start({"--extra-bytes", "ME:2", "--extra-bytes", "ST:1"});
    ASSERT_EQ(Reply(CMD_SETUP, SETUP_REPLY_LENGTH), "0345051007");
    WaitForQueued(2);
    EXPECT_EQ(Reply(CMD_SETUP, SETUP_REPLY_LENGTH), "0345051007");

    Reply(CMD_START, 0);
    WaitForQueued(1);
    const std::string first = Reply(CMD_TEST_WAVE, WAVE_LENGTH);
    const std::string again = Reply(CMD_TEST_WAVE, WAVE_LENGTH);
    ASSERT_EQ(first.size(), static_cast<std::size_t>(WAVE_LENGTH));
    EXPECT_EQ(first, again);
}

TEST_F(ExchangeTest, APositionNoByteReachedKeepsItsValue) {
    Start({"--short-reply", "RE:4"});
    SetComTime(1, 0.2);
    char target[RESULT_REPLY_LENGTH] = {'x', 'x', 'x', 'x', 'O', 'K'};
    EXPECT_EQ(Exchange(work_, CMD_RESULT, target, RESULT_REPLY_LENGTH), 4);
    EXPECT_EQ(target[4], 'O');
    EXPECT_EQ(target[5], 'K');
}

TEST_F(ExchangeTest, AnUnusablePortGivesNoReplyBytes) {
    Start({"--hangup-after", "1"});
    EXPECT_EQ(Reply(CMD_SETUP, SETUP_REPLY_LENGTH).size(), 10u);
    int arrived = -1;
    Reply(CMD_SETUP, SETUP_REPLY_LENGTH, &arrived);
    EXPECT_EQ(arrived, 0) << "hung up";
    Close_com_port();
    Reply(CMD_SETUP, SETUP_REPLY_LENGTH, &arrived);
    EXPECT_EQ(arrived, 0) << "not open";
}

TEST_F(ExchangeTest, AWholeReplyIsAllItsBytesAndThenAQuietLine) {
    const struct {
        std::vector<std::string> options;
        const char* command;
        int length;
        bool whole;
    } cases[] = {
        {{}, CMD_SETUP, SETUP_REPLY_LENGTH, true},
        {{"--pace"}, CMD_STANDARD_WAVE, WAVE_LENGTH, true},
        {{"--short-reply", "RE:5"}, CMD_RESULT, RESULT_REPLY_LENGTH, false},
        {{"--garbage", "WS:2"}, CMD_STANDARD_WAVE, WAVE_LENGTH, false},
        {{"--garbage", "ME:1"}, CMD_SETUP, SETUP_REPLY_LENGTH, false},
        {{"--extra-bytes", "RE:1"}, CMD_RESULT, RESULT_REPLY_LENGTH, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.empty() ? "clean" : c.options[0] + " " + c.options.back());
        Start(c.options);
        SetComTime(1, 0.2);
        char target[WAVE_LENGTH] = {};
        EXPECT_EQ(Exchange_whole(work_, c.command, target, c.length), c.whole);
        // What was left on the line does not reach the next reply.
        if (c.command != CMD_SETUP) {
            EXPECT_TRUE(Exchange_whole(work_, CMD_SETUP, target, SETUP_REPLY_LENGTH));
        }
        Close_com_port();
    }
}

}  // namespace
