#include "sim/tester.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sim/options.h"

namespace {

SimOptions Parsed(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "surge-sim");
    SimOptions options;
    std::string error;
    EXPECT_TRUE(
        ParseOptions(static_cast<int>(arguments.size()), arguments.data(), &options, &error))
        << error;
    return options;
}

TEST(Tester, AnswersEachCommandWithItsLength) {
    SimulatedTester tester(Parsed({}));
    const struct {
        const char* command;
        std::size_t length;
    } cases[] = {{"ME\r", 10}, {"ST\r", 0}, {"WT\r", 300}, {"WS\r", 300},
                 {"RE\r", 6},  {"XX\r", 0}, {"ME", 0},     {"MEE\r", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(tester.Respond(c.command).bytes.size(), c.length);
    }
}

TEST(Tester, TheSetupReplyIsTheOneGiven) {
    SimulatedTester tester(Parsed({"--setup", "6099072099"}));
    EXPECT_EQ(tester.Respond("ME\r").bytes, "6099072099");
}

TEST(Tester, TheResultFollowsTheJudgeOfTheSetup) {
    // A slight fault fails a strict judge and passes a lenient one.
    const struct {
        const char* setup;
        const char* verdict;
    } cases[] = {{"0345051002", "NG"}, {"0345051099", "OK"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        SimulatedTester tester(Parsed({"--setup", c.setup, "--shorted-turns", "3"}));
        tester.Respond("ST\r");
        EXPECT_EQ(tester.Respond("RE\r").bytes.substr(4), c.verdict);
    }
}

TEST(Tester, EachTestRecordsTheWindingAnew) {
    SimulatedTester tester(Parsed({}));
    const std::string before = tester.Respond("WT\r").bytes;
    EXPECT_EQ(tester.Respond("WT\r").bytes, before);
    tester.Respond("ST\r");
    EXPECT_NE(tester.Respond("WT\r").bytes, before) << "new noise";
    EXPECT_EQ(SimulatedTester(Parsed({})).Respond("WS\r").bytes, tester.Respond("WS\r").bytes);
}

TEST(Tester, InjectedFaultsShapeTheReply) {
    const std::string setup = "0345051007";
    const struct {
        std::vector<const char*> options;
        std::string bytes;
    } cases[] = {
        {{"--no-reply", "ME"}, ""},
        {{"--short-reply", "ME:9"}, setup.substr(0, 9)},
        {{"--short-reply", "ME:20"}, setup},
        {{"--extra-bytes", "ME:2"}, setup + "\r\r"},
        {{"--garbage", "ME:3"}, "\xFF\xFF\xFF" + setup},
        {{"--garbage", "ME:1", "--short-reply", "ME:4"}, "\xFF" + setup.substr(0, 4)},
        {{"--no-reply", "RE"}, setup},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[0]);
        SimulatedTester tester(Parsed(c.options));
        EXPECT_EQ(tester.Respond("ME\r").bytes, c.bytes);
    }
    SimulatedTester stray(Parsed({"--extra-bytes", "ST:1"}));
    EXPECT_EQ(stray.Respond("ST\r").bytes, "\r");
}

// Each start a new unit; the verdicts of the first twelve at judge 7, O for OK and N for NG.
TEST(Tester, APopulationsUnitsCarryTheFaultsGiven) {
    const std::string fault_file = testing::TempDir() + "sim_fault_file";
    std::ofstream(fault_file) << "--shorted-turns 10 --faults-every 2\n";
    const struct {
        std::vector<const char*> options;
        const char* verdicts;
    } cases[] = {
        {{}, "OOOOOOOOOOOO"},
        {{"--arcing"}, "OOOOOOOOOOOO"},
        {{"--faster", "1"}, "OOOOOOOOOOOO"},
        {{"--faster", "5", "--faults-from", "9"}, "OOOOOOOONNNN"},
        {{"--shorted-turns", "10", "--faults-from", "4", "--faults-every", "4"}, "OOONOOONOOON"},
        {{"--drift", "2", "--faults-from", "7"}, "OOOOOONNNNNN"},
        {{"--faster", "5", "--fault-file", fault_file.c_str()}, "NONONONONONO"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.verdicts);
        std::vector<const char*> options = {"--population", "5"};
        options.insert(options.end(), c.options.begin(), c.options.end());
        SimulatedTester tester(Parsed(options));
        std::string verdicts;
        for (int unit = 1; unit <= 12; ++unit) {
            tester.Respond("ST\r");
            verdicts += tester.Respond("RE\r").bytes[4];
        }
        EXPECT_EQ(verdicts, c.verdicts);
    }
    std::remove(fault_file.c_str());
}

TEST(Options, BadOptionsAreRefused) {
    const std::vector<std::vector<const char*>> cases = {
        {"--setup", "034505100"},
        {"--setup"},
        {"--shorted-turns", "91"},
        {"--shorted-turns", "x"},
        {"--no-reply", "XX"},
        {"--short-reply", "ME"},
        {"--short-reply", "ME:-1"},
        {"--garbage", "QQ:1"},
        {"--baud", "0"},
        {"--hangup-after", "-1"},
        {"--unknown"},
        {"--seed", "1x"},
        {"--hangup-after-reply", "XX"},
        {"--population", "x"},
        {"--faster", "51"},
        {"--arcing"},
        {"--faults-every", "0"},
    };
    for (auto arguments : cases) {
        SCOPED_TRACE(arguments[0]);
        arguments.insert(arguments.begin(), "surge-sim");
        SimOptions options;
        std::string error;
        EXPECT_FALSE(
            ParseOptions(static_cast<int>(arguments.size()), arguments.data(), &options, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(Options, ValuesMayFollowAnEqualsSign) {
    const SimOptions options = Parsed(
        {"--seed=7", "--pace", "--hangup-after=3", "--garbage=WT:2", "--hangup-after-reply=ME"});
    EXPECT_EQ(options.seed, 7u);
    EXPECT_TRUE(options.pace);
    EXPECT_EQ(options.hangup_after, 3);
    EXPECT_EQ(options.faults.at("WT").garbage_bytes, 2);
    EXPECT_TRUE(options.faults.at("ME").hangup_after_reply);
}

}  // namespace
