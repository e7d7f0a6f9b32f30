// The inspection cycle end to end: the start and stop commands pressed on the real main panel,
// the instrument played by surge-sim on a pseudo-terminal behind the real port layer.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/surge.h"
#include "instrument/serial.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/sim_process.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

namespace tt = toolkit_testing;

using Lamps = std::array<int, 3>;     // busy, O.K, N.G shown
using Commands = std::array<int, 4>;  // MAIN_CMD_26, 27, 28, 29 dimmed
using Sent = std::vector<std::string>;

constexpr const char* WARNING = "경  고";
constexpr const char* NO_SERIAL = "시리얼 통신이 되지 않습니다.\nRS232 콘텍터를 연결하십시요.";

// Noise 0: a sound winding then gives a test wave equal to the standard wave, hence O.K.
const std::vector<std::string> PASSING = {"--noise", "0"};
const std::vector<std::string> FAILING = {"--noise", "0",       "--shorted-turns",
                                          "60",      "--setup", "0345050000"};

class InspectionCycle : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_program_state();
        Register_callbacks();
        mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
        setupHandle = LoadPanel(0, SURGE_UIR, SETUP);
        ASSERT_GT(mainHandle, 0);
        ASSERT_GT(setupHandle, 0);
        Show_model("M-01");
        tt::ClearShownPopups();
        tt::ClearRequestedDelays();
    }
    void TearDown() override {
        Disconnect();
        DiscardPanel(setupHandle);
        DiscardPanel(mainHandle);
    }

    // Puts a fresh simulator on the line in place of the one before.
    void Connect(const std::vector<std::string>& options) {
        Disconnect();
        sim_.emplace(options);
        Init_com_port();
        ASSERT_EQ(RS232Error, 0);
    }
    void Disconnect() {
        if (sim_) {
            Close_com_port();
            sim_.reset();
        }
    }

    // One press of the start command, starting from a clean record of popups and waits.
    void Start() {
        tt::ClearShownPopups();
        tt::ClearRequestedDelays();
        tt::Commit(mainHandle, MAIN_CMD_30);
    }

    static std::string Text(int control) {
        char text[64] = {0};
        GetCtrlVal(mainHandle, control, text);
        return text;
    }
    static int Attribute(int control, int attribute) {
        int value = -1;
        GetCtrlAttribute(mainHandle, control, attribute, &value);
        return value;
    }
    static Lamps LampsShown() {
        return {Attribute(MAIN_BUSY_LED, ATTR_VISIBLE), Attribute(MAIN_OK_LED, ATTR_VISIBLE),
                Attribute(MAIN_NG_LED, ATTR_VISIBLE)};
    }
    static Commands CommandsDimmed() {
        return {Attribute(MAIN_CMD_26, ATTR_DIMMED), Attribute(MAIN_CMD_27, ATTR_DIMMED),
                Attribute(MAIN_CMD_28, ATTR_DIMMED), Attribute(MAIN_CMD_29, ATTR_DIMMED)};
    }
    static std::vector<std::string> PopupTexts() {
        std::vector<std::string> texts;
        for (const auto& popup : tt::ShownPopups()) {
            texts.push_back(popup.title + "|" + popup.text);
        }
        return texts;
    }
    static std::vector<tt::PlotInfo> Plots(int colour) {
        std::vector<tt::PlotInfo> found;
        for (auto& plot : tt::GraphPlots(mainHandle, MAIN_GRAPH)) {
            if (plot.colour == colour) {
                found.push_back(plot);
            }
        }
        return found;
    }
    static std::vector<double> Samples(const Wave& wave_samples) {
        return std::vector<double>(wave_samples.begin(), wave_samples.end());
    }

    ScopedWorkDir dir_;
    std::optional<SimProcess> sim_;
};

TEST_F(InspectionCycle, EmptyModelWarnsSendsNothingAndLeavesTheTestingState) {
    Connect(PASSING);
    Show_model("");
    Start();

    EXPECT_EQ(PopupTexts(), Sent{std::string(WARNING) + "|Master model을 먼저 선택하십시요."});
    EXPECT_FALSE(sim_->WaitForCommands(1, 0.3));
    EXPECT_EQ(LampsShown(), (Lamps{1, 0, 0}));
    EXPECT_EQ(CommandsDimmed(), (Commands{1, 1, 1, 0}));
    EXPECT_STREQ(result, "BUSY");
    EXPECT_EQ(plotHandle, 0);

    tt::Commit(mainHandle, MAIN_CMD_29);
    EXPECT_EQ(CommandsDimmed(), (Commands{0, 0, 0, 0}));
    EXPECT_EQ(LampsShown(), (Lamps{1, 0, 0}));
}

TEST_F(InspectionCycle, FullCycleShowsTheSetupBothWavesAndTheVerdict) {
    Connect({"--noise", "0", "--setup", "0345051007"});
    // A delay time typed on the registration panel plays no part in the wait.
    SetCtrlVal(setupHandle, SETUP_DELAY_TIME, 3.0);
    delay_time = 3.0f;
    Start();

    EXPECT_TRUE(tt::ShownPopups().empty());
    EXPECT_EQ(sim_->Commands(), (Sent{"ME", "ST", "WT", "WS", "RE"}));
    EXPECT_EQ((Sent{Text(MAIN_MODEL), Text(MAIN_VOLTAGE), Text(MAIN_WIDTH), Text(MAIN_PULSE),
                    Text(MAIN_JUDGE)}),
              (Sent{"03", "4.5", "05", "10", "07"}));
    EXPECT_FLOAT_EQ(voltage, 4.5f);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(pulse_no, 10);
    EXPECT_EQ(judge, 7);
    EXPECT_FLOAT_EQ(delay_time, 0.6f);
    ASSERT_EQ(tt::RequestedDelays().size(), 1u);
    EXPECT_NEAR(tt::RequestedDelays()[0], 0.6, 1e-6);

    // Decoded once: the flat lead-in before the impulse reads 0, not the line's offset 128.
    EXPECT_EQ(measured_wave[0], 0);
    EXPECT_EQ(wave[0], 0);
    const auto blue = Plots(VAL_BLUE);
    const auto red = Plots(VAL_RED);
    ASSERT_EQ(blue.size(), 1u);
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(blue[0].id, plotHandle);
    EXPECT_EQ(red[0].id, master_plotHandle);
    EXPECT_EQ(blue[0].y, Samples(measured_wave));
    EXPECT_EQ(red[0].y, Samples(wave));

    EXPECT_EQ(Text(MAIN_AREA), "00");
    EXPECT_EQ(Text(MAIN_PHASE), "00");
    EXPECT_EQ(area, 0);
    EXPECT_EQ(phase, 0);
    EXPECT_EQ(LampsShown(), (Lamps{0, 1, 0}));
    EXPECT_STREQ(result, "O.K");
    EXPECT_EQ(CommandsDimmed(), (Commands{1, 1, 1, 0}));
}

TEST_F(InspectionCycle, VoltageInTenthsAndWaitByPulses) {
    const struct {
        const char* setup;
        const char* shown;
        float voltage;
        double wait;
    } cases[] = {{"0100000000", "0.0", 0.0f, 0.1}, {"0199072099", "9.9", 9.9f, 1.1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        Connect({"--setup", c.setup});
        Start();
        EXPECT_TRUE(tt::ShownPopups().empty());
        EXPECT_EQ(Text(MAIN_VOLTAGE), c.shown);
        EXPECT_FLOAT_EQ(voltage, c.voltage);
        ASSERT_EQ(tt::RequestedDelays().size(), 1u);
        EXPECT_NEAR(tt::RequestedDelays()[0], c.wait, 1e-6);
    }
}

TEST_F(InspectionCycle, VerdictLampAndResultFollowTheResultReply) {
    const struct {
        std::vector<std::string> options;
        Lamps lamps;
        const char* result;
        Sent area_phase;  // empty: whatever the simulator computed
    } cases[] = {
        {PASSING, {0, 1, 0}, "O.K", {}},
        {FAILING, {0, 0, 1}, "N.G", {}},
        {{"--result", "1203OK"}, {0, 1, 0}, "O.K", {"12", "03"}},
        {{"--result", "1203NG"}, {0, 0, 1}, "N.G", {"12", "03"}},
        {{"--result", "1203ok"}, {0, 0, 1}, "N.G", {"12", "03"}},
        {{"--result", "0000O "}, {0, 0, 1}, "N.G", {"00", "00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.back());
        Connect(c.options);
        Start();
        EXPECT_TRUE(tt::ShownPopups().empty());
        EXPECT_EQ(LampsShown(), c.lamps);
        EXPECT_STREQ(result, c.result);
        if (!c.area_phase.empty()) {
            EXPECT_EQ((Sent{Text(MAIN_AREA), Text(MAIN_PHASE)}), c.area_phase);
            EXPECT_EQ(area, std::stoi(c.area_phase[0]));
            EXPECT_EQ(phase, std::stoi(c.area_phase[1]));
        }
    }
}

TEST_F(InspectionCycle, TwoCyclesLeaveOneBlueAndOneRedPlot) {
    Connect(PASSING);
    Start();
    // After a completed cycle the model field holds the model number, so the next one starts.
    EXPECT_EQ(Text(MAIN_MODEL), "03");
    Start();
    EXPECT_TRUE(tt::ShownPopups().empty());
    EXPECT_EQ(sim_->Commands().size(), 10u);
    const auto blue = Plots(VAL_BLUE);
    const auto red = Plots(VAL_RED);
    ASSERT_EQ(blue.size(), 1u);
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(blue[0].id, plotHandle);
    EXPECT_EQ(red[0].id, master_plotHandle);
}

TEST_F(InspectionCycle, RejectedSetupStopsBeforeTheTestAndKeepsTheReadings) {
    const struct {
        const char* name;
        std::vector<std::string> options;
    } cases[] = {{"no reply", {"--no-reply", "ME"}},
                 {"nine bytes", {"--short-reply", "ME:9"}},
                 {"model 61", {"--setup", "6120030000"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Connect(PASSING);
        Start();
        ASSERT_STREQ(result, "O.K");

        Connect(c.options);
        Start();
        EXPECT_EQ(PopupTexts(), Sent{std::string(WARNING) + "|" + NO_SERIAL});
        EXPECT_EQ(sim_->Commands(), Sent{"ME"});
        EXPECT_TRUE(tt::RequestedDelays().empty());
        EXPECT_EQ((Sent{Text(MAIN_MODEL), Text(MAIN_VOLTAGE), Text(MAIN_WIDTH), Text(MAIN_PULSE),
                        Text(MAIN_JUDGE)}),
                  (Sent{"03", "4.5", "05", "10", "07"}));
        EXPECT_FLOAT_EQ(voltage, 4.5f);
        EXPECT_EQ(pulse_no, 10);
        EXPECT_EQ(LampsShown(), (Lamps{1, 0, 0}));
        EXPECT_STREQ(result, "O.K");
    }
}

TEST_F(InspectionCycle, NoPortGivesTheWarningAtOnce) {
    setenv("SURGE_COM1", dir_.File("no-such-port").c_str(), 1);
    Init_com_port();
    unsetenv("SURGE_COM1");
    Start();
    EXPECT_EQ(PopupTexts(), Sent{std::string(WARNING) + "|" + NO_SERIAL});
    EXPECT_EQ(LampsShown(), (Lamps{1, 0, 0}));
    EXPECT_STREQ(result, "BUSY");
}

// A wave or result reply that falls short stops the cycle: no verdict from stale bytes, no
// wave decoded twice, and the earlier unit's verdict is not left beside this unit's readings
// (an export would pair them); a good cycle afterwards gives its own verdict. So does a start
// command that cannot be written, with no wait for a test that never began: a tester that did
// not get it would answer with the earlier unit's waves and result.
TEST_F(InspectionCycle, ShortOrMissingReplyAfterTheSetupStopsWithoutAVerdict) {
    const struct {
        const char* fault;
        const char* command;
        Sent sent;
    } cases[] = {
        {"--hangup-after-reply", "ME", {"ME"}},
        {"--no-reply", "WT", {"ME", "ST", "WT"}},
        {"--short-reply", "WT:299", {"ME", "ST", "WT"}},
        {"--no-reply", "WS", {"ME", "ST", "WT", "WS"}},
        {"--short-reply", "WS:150", {"ME", "ST", "WT", "WS"}},
        {"--no-reply", "RE", {"ME", "ST", "WT", "WS", "RE"}},
        {"--short-reply", "RE:5", {"ME", "ST", "WT", "WS", "RE"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + " " + c.command);
        Connect(FAILING);
        Start();
        ASSERT_STREQ(result, "N.G");
        const Sent result_before = {Text(MAIN_AREA), Text(MAIN_PHASE)};
        const int area_before = area;
        const int phase_before = phase;
        const std::vector<double> measured_before = Samples(measured_wave);
        const std::vector<double> standard_before = Samples(wave);
        const int blue_before = plotHandle;
        const int red_before = master_plotHandle;

        // Another voltage, so that new waves differ from the earlier ones; the width field
        // reads "OK", which a stale result buffer would take for a pass.
        Connect({"--noise", "0", "--setup", "0420OK0299", c.fault, c.command});
        Start();
        EXPECT_EQ(PopupTexts(), Sent{std::string(WARNING) + "|" + NO_SERIAL});
        EXPECT_EQ(sim_->Commands(), c.sent);
        EXPECT_EQ(tt::RequestedDelays().size(), c.sent.size() > 1 ? 1u : 0u);
        EXPECT_EQ(LampsShown(), (Lamps{1, 0, 0}));
        EXPECT_STREQ(result, "BUSY");
        EXPECT_EQ((Sent{Text(MAIN_AREA), Text(MAIN_PHASE)}), result_before);
        EXPECT_EQ(area, area_before);
        EXPECT_EQ(phase, phase_before);
        EXPECT_EQ((Sent{Text(MAIN_MODEL), Text(MAIN_VOLTAGE), Text(MAIN_WIDTH)}),
                  (Sent{"04", "2.0", "OK"}));

        // Each wave is either the earlier one, untouched, or the new one whole.
        const bool test_wave_came = c.sent.size() > 3;
        const bool standard_wave_came = c.sent.size() > 4;
        EXPECT_EQ(Samples(measured_wave) == measured_before, !test_wave_came);
        EXPECT_EQ(Samples(wave) == standard_before, !standard_wave_came);
        EXPECT_EQ(plotHandle == blue_before, !test_wave_came);
        EXPECT_EQ(master_plotHandle == red_before, !standard_wave_came);
        ASSERT_EQ(Plots(VAL_BLUE).size(), 1u);
        ASSERT_EQ(Plots(VAL_RED).size(), 1u);
        EXPECT_EQ(Plots(VAL_BLUE)[0].y, Samples(measured_wave));
        EXPECT_EQ(Plots(VAL_RED)[0].y, Samples(wave));

        Connect(PASSING);
        Start();
        EXPECT_TRUE(tt::ShownPopups().empty());
        EXPECT_EQ(LampsShown(), (Lamps{0, 1, 0}));
        EXPECT_STREQ(result, "O.K");
    }
}

// Bytes beyond a reply mean that the bytes read were not the reply alone: stray bytes ahead of
// it pushed its end out, and the station cannot tell those from stray bytes after it. The cycle
// stops as for a short reply. Bytes after "ST" reach no reply and change nothing.
TEST_F(InspectionCycle, BytesBeyondAReplyStopTheCycleWithoutAVerdict) {
    const Sent all = {"ME", "ST", "WT", "WS", "RE"};
    const struct {
        const char* fault;
        const char* value;
        Sent sent;  // empty: the cycle completes
    } cases[] = {
        // Six bytes 0xFF and "0345" read as model 0, voltage 0, width 0, 3 pulses, judge 45:
        // the range check alone lets this setup through.
        {"--garbage", "ME:6", {"ME"}},
        {"--extra-bytes", "ME:1", {"ME"}},
        {"--garbage", "WT:2", {"ME", "ST", "WT"}},
        {"--extra-bytes", "WS:3", {"ME", "ST", "WT", "WS"}},
        // "\xFF\xFF" then "0000": a result read so would be an N.G of the instrument's O.K.
        {"--garbage", "RE:2", all},
        {"--extra-bytes", "RE:1", all},
        {"--extra-bytes", "ST:4", {}},
        {"--garbage", "ST:2", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + " " + c.value);
        Connect(FAILING);
        Start();
        ASSERT_STREQ(result, "N.G");
        const int blue_before = plotHandle;

        Connect({"--noise", "0", "--setup", "0345050007", c.fault, c.value});
        Start();
        if (c.sent.empty()) {
            EXPECT_TRUE(tt::ShownPopups().empty());
            EXPECT_EQ(sim_->Commands(), all);
            EXPECT_EQ(LampsShown(), (Lamps{0, 1, 0}));
            EXPECT_STREQ(result, "O.K");
            continue;
        }
        EXPECT_EQ(PopupTexts(), Sent{std::string(WARNING) + "|" + NO_SERIAL});
        EXPECT_EQ(sim_->Commands(), c.sent);
        EXPECT_EQ(LampsShown(), (Lamps{1, 0, 0}));
        // A refused setup leaves the earlier unit as it was; after an accepted one, no verdict.
        EXPECT_STREQ(result, c.sent.size() == 1 ? "N.G" : "BUSY");
        if (c.sent.size() <= 3) {
            EXPECT_EQ(plotHandle, blue_before) << "the test wave was not redrawn";
        }
    }
}

}  // namespace
