// The log: its line, its rotation, SURGE_LOG, a place it cannot write, two threads at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "log/log.h"
#include "log/log_line.h"
#include "log/log_testing.h"
#include "tests/support/work_dir.h"

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value == nullptr ? "" : value);
#else
    value == nullptr ? unsetenv(name) : setenv(name, value, 1);
#endif
}

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

void SetTimeZone(const char* zone) {
    SetVariable("TZ", zone);
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
}

std::vector<std::string> Lines(const std::string& file) {
    std::istringstream in(ReadWholeFile(file));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Splits a line into its category and text once its time reads as the log writes it.
bool Split(const std::string& line, std::string* category, std::string* text) {
    static const std::regex TIME(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d )");
    constexpr std::size_t TIME_LENGTH = 30;
    const std::size_t space = line.find(' ', TIME_LENGTH);
    if (line.size() < TIME_LENGTH || space == std::string::npos ||
        !std::regex_match(line.substr(0, TIME_LENGTH), TIME)) {
        return false;
    }
    *category = line.substr(TIME_LENGTH, space - TIME_LENGTH);
    *text = line.substr(space + 1);
    return true;
}

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_setting_ = Variable("SURGE_LOG");
        SetVariable("SURGE_LOG", nullptr);
        surge_log::SetProgram("");
        surge_log_testing::Reset();
    }
    void TearDown() override {
        SetVariable("SURGE_LOG", saved_setting_ ? saved_setting_->c_str() : nullptr);
        surge_log_testing::Reset();
    }

    ScopedWorkDir dir_{false};
    std::optional<std::string> saved_setting_;
};

TEST(LogLine, LocalTimeWithMillisecondsAndOffsetThenCategoryAndTextOnOneLine) {
    const sys_days day = 2026y / December / 9;
    const auto morning = day + 1h + 15min + 2s + 123ms;  // UTC
    const struct {
        const char* zone;
        system_clock::time_point time;
        const char* category;
        const char* text;
        const char* line;
    } cases[] = {
        {"KST-9", morning, "serial", "port 1: COM1 (/dev/ttyS0) opened",
         "2026-12-09T10:15:02.123+09:00 serial port 1: COM1 (/dev/ttyS0) opened\n"},
        {"UTC0", morning, "warning", "first\nsecond",
         "2026-12-09T01:15:02.123+00:00 warning first / second\n"},
        {"UTC0", day, "warning", "dos\r\nmac\rend\n",
         "2026-12-09T00:00:00.000+00:00 warning dos / mac / end / \n"},
        {"EST5", day + 999ms, "start", "the day before",
         "2026-12-08T19:00:00.999-05:00 start the day before\n"},
        {"IST-5:30", morning, "store", "half an hour",
         "2026-12-09T06:45:02.123+05:30 store half an hour\n"},
        {"KST-9", morning, "feed", "경  고: 한글 그대로",
         "2026-12-09T10:15:02.123+09:00 feed 경  고: 한글 그대로\n"},
    };
    const std::optional<std::string> saved_zone = Variable("TZ");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zone);
        SetTimeZone(c.zone);
        EXPECT_EQ(surge_log::Line(c.time, c.category, c.text), c.line);
    }
    SetTimeZone(saved_zone ? saved_zone->c_str() : nullptr);
}

TEST_F(LogTest, TheProgramsLineComesOnceBeforeTheFirstLine) {
    surge_log::SetProgram("surge 1.0.0 (abc1234)");
    surge_log::Write("serial", "opened");
    surge_log::Write("warning", "no reply");
    surge_log::SetProgram("");
    std::vector<std::string> tails;
    for (const std::string& line : Lines(surge_log::LOG_FILE)) {
        std::string category, text;
        ASSERT_TRUE(Split(line, &category, &text)) << line;
        tails.push_back(category + " " + text);
    }
    EXPECT_EQ(tails, (std::vector<std::string>{"log surge 1.0.0 (abc1234)", "serial opened",
                                               "warning no reply"}));
}

TEST_F(LogTest, AFullFileIsMovedAsideAndTheFifthOldestDropped) {
    constexpr int LINES = 6500;  // about 6.3 MiB: past 1 MiB six times
    const std::string padding(1000, '.');
    for (int i = 0; i < LINES; ++i) {
        surge_log::Write("test", std::to_string(i) + " " + padding);
    }
    std::vector<std::string> files = {"station.log.4", "station.log.3", "station.log.2",
                                      "station.log.1", "station.log"};
    EXPECT_FALSE(fs::exists("station.log.5"));
    std::vector<int> numbers;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(fs::exists(file));
        EXPECT_LE(fs::file_size(file), surge_log::MAX_FILE_BYTES);
        if (file != surge_log::LOG_FILE) {
            EXPECT_GT(fs::file_size(file), surge_log::MAX_FILE_BYTES - 2 * padding.size());
        }
        for (const std::string& line : Lines(file)) {
            std::string category, text;
            ASSERT_TRUE(Split(line, &category, &text)) << line.substr(0, 60);
            numbers.push_back(std::stoi(text));
        }
    }
    ASSERT_FALSE(numbers.empty());
    EXPECT_GT(numbers.front(), 0) << "the oldest lines are dropped";
    EXPECT_EQ(numbers.back(), LINES - 1);
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << "a line lost or out of order at " << i;
    }
}

TEST_F(LogTest, SurgeLogOffCreatesNothing) {
    const struct {
        const char* setting;
        bool written;
    } cases[] = {{nullptr, true}, {"off", false}, {"on", true}, {"OFF", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "(unset)");
        fs::remove(surge_log::LOG_FILE);
        SetVariable("SURGE_LOG", c.setting);
        surge_log_testing::Reset();
        surge_log::Write("start", "station");
        EXPECT_EQ(fs::exists(surge_log::LOG_FILE), c.written);
    }
}

TEST_F(LogTest, APlaceThatCannotBeWrittenPausesTheLogForAMinute) {
    const struct {
        const char* name;
        void (*block)();
    } cases[] = {
        {"a folder where the file would be", [] { fs::create_directory(surge_log::LOG_FILE); }},
#ifndef _WIN32
        {"a full disk", [] { fs::create_symlink("/dev/full", surge_log::LOG_FILE); }},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        surge_log_testing::Reset();
        c.block();
        const auto start = steady_clock::now();
        for (int i = 0; i < 1000; ++i) {
            surge_log::Write("warning", "the disk is full");
        }
        EXPECT_LT(steady_clock::now() - start, 1s);
        fs::remove(surge_log::LOG_FILE);
        surge_log::Write("warning", "within the minute");
        EXPECT_FALSE(fs::exists(surge_log::LOG_FILE)) << "written during the pause";
        surge_log_testing::PassTime(surge_log::RETRY_AFTER);
        surge_log::Write("warning", "after the minute");
        const std::vector<std::string> lines = Lines(surge_log::LOG_FILE);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(" warning after the minute"), std::string::npos) << lines[0];
        fs::remove(surge_log::LOG_FILE);
    }
}

TEST_F(LogTest, TwoThreadsWritingLoseAndMixNoLine) {
    constexpr int EACH = 3000;  // about 200 KB: one file
    auto writer = [](const char* name) {
        for (int i = 0; i < EACH; ++i) {
            surge_log::Write(name, std::to_string(i));
        }
    };
    std::thread first(writer, "first");
    std::thread second(writer, "second");
    first.join();
    second.join();
    int next[2] = {0, 0};
    for (const std::string& line : Lines(surge_log::LOG_FILE)) {
        std::string category, text;
        ASSERT_TRUE(Split(line, &category, &text)) << line;
        int& expected = next[category == "first" ? 0 : 1];
        ASSERT_EQ(std::stoi(text), expected) << line;
        ++expected;
    }
    EXPECT_EQ(next[0], EACH);
    EXPECT_EQ(next[1], EACH);
}

}  // namespace
