// Wall time of one inspection cycle, from the commit of the start command to the verdict lamp,
// against the simulator pacing at 115200 baud. Its physical floor is the wait after "ST" plus
// the time every command and reply byte needs on the line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "bench/report.h"

#include "app/surge.h"
#include "instrument/serial.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/sim_process.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

constexpr double BAUD_RATE = 115200.0;
constexpr double BITS_PER_BYTE = 10.0;
constexpr double TARGET = 1.05;

// Every byte on the line in one cycle: five three-byte commands and four replies.
constexpr int LINE_BYTES = 5 * 3 + SETUP_REPLY_LENGTH + 2 * WAVE_LENGTH + RESULT_REPLY_LENGTH;

// Median wall time of `rounds` cycles in ms, or a negative value when a cycle gave no verdict.
double MedianCycleMs(int pulses, int rounds) {
    char setup[16];
    std::snprintf(setup, sizeof setup, "034505%02d07", pulses);
    SimProcess sim({"--pace", "--setup", setup});
    Init_com_port();
    std::vector<double> times;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms up
        const auto start = std::chrono::steady_clock::now();
        toolkit_testing::Commit(mainHandle, MAIN_CMD_30);
        const auto end = std::chrono::steady_clock::now();
        int ok = 0;
        int ng = 0;
        GetCtrlAttribute(mainHandle, MAIN_OK_LED, ATTR_VISIBLE, &ok);
        GetCtrlAttribute(mainHandle, MAIN_NG_LED, ATTR_VISIBLE, &ng);
        if (ok + ng != 1) {
            Close_com_port();
            return -1.0;
        }
        if (round > 0) {
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    }
    Close_com_port();
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool Report(int pulses, int rounds, bool targeted) {
    const double median = MedianCycleMs(pulses, rounds);
    if (median < 0) {
        std::fprintf(stderr, "bench_inspection: a cycle at %d pulses gave no verdict\n", pulses);
        return false;
    }
    const double wait_ms = 1000.0 * (pulses * 0.05 + 0.1);
    const double line_ms = 1000.0 * LINE_BYTES * BITS_PER_BYTE / BAUD_RATE;
    const double floor_ms = wait_ms + line_ms;
    const double ratio = median / floor_ms;
    std::printf(
        "inspection_cycle, %2d pulses: %.2f ms (median of %d); floor %.2f ms (wait %.0f ms + line "
        "time of %d bytes %.2f ms); ratio %.3f",
        pulses, median, rounds, floor_ms, wait_ms, LINE_BYTES, line_ms, ratio);
    if (targeted) {
        std::printf("; target <= %.2f: %s", TARGET, ratio <= TARGET ? "met" : "missed");
    }
    std::printf("\n");
    char figure[64];
    std::snprintf(figure, sizeof figure, "inspection cycle, %d pulses, offscreen", pulses);
    ReportFigure(figure, median, "ms", "wait + line time", floor_ms, targeted ? TARGET : 0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (InitRuntimeEngine(argc, argv) == 0) {
        return 1;
    }
    toolkit_testing::ScriptPopups(true);
    Register_callbacks();
    mainHandle = LoadPanel(0, SURGE_UIR_PATH, MAIN);
    setupHandle = LoadPanel(0, SURGE_UIR_PATH, SETUP);
    if (mainHandle < 0 || setupHandle < 0) {
        std::fprintf(stderr, "bench_inspection: cannot load %s\n", SURGE_UIR_PATH);
        return 1;
    }
    Show_model("BENCH");
    const bool done = Report(0, 20, true) && Report(20, 5, false);
    DiscardPanel(setupHandle);
    DiscardPanel(mainHandle);
    CloseRuntimeEngine();
    return done ? 0 : 1;
}
