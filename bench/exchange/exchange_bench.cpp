// The exchanges of one inspection (ME, ST, WT, WS, RE, without the wait after ST) against the
// simulator pacing at 115200 baud, as a ratio to the time the bytes need on the line itself.
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>
#include "bench/report.h"

#include "instrument/serial.h"
#include "rs232/rs232.h"
#include "tests/support/sim_process.h"
#include "toolkit/toolkit.h"

namespace {

constexpr double BAUD_RATE = 115200.0;
constexpr double BITS_PER_BYTE = 10.0;
constexpr double TARGET = 1.10;
constexpr int ROUNDS = 30;

struct Step {
    const char* command;
    int reply_length;
};
constexpr Step INSPECTION[] = {{CMD_SETUP, SETUP_REPLY_LENGTH},
                               {CMD_START, 0},
                               {CMD_TEST_WAVE, WAVE_LENGTH},
                               {CMD_STANDARD_WAVE, WAVE_LENGTH},
                               {CMD_RESULT, RESULT_REPLY_LENGTH}};

// Runs the sequence once; false when a reply came short.
bool RunSequence() {
    char work[WORK_BUFFER_SIZE] = {};
    char target[WAVE_LENGTH];
    for (const Step& step : INSPECTION) {
        if (Exchange(work, step.command, target, step.reply_length) != step.reply_length) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SimProcess sim({"--pace"});
    if (OpenComConfig(1, "COM1", 115200, 0, 8, 1, 512, 512) != 0) {
        std::fprintf(stderr, "bench_exchange: cannot open the simulator's line\n");
        return 1;
    }
    SetComTime(1, 1.0);

    int line_bytes = 0;
    for (const Step& step : INSPECTION) {
        line_bytes += StringLength(step.command) + step.reply_length;
    }
    const double line_ms = 1000.0 * line_bytes * BITS_PER_BYTE / BAUD_RATE;

    RunSequence();  // warm-up
    std::vector<double> times;
    for (int round = 0; round < ROUNDS; ++round) {
        const auto start = std::chrono::steady_clock::now();
        if (!RunSequence()) {
            std::fprintf(stderr, "bench_exchange: a reply came short\n");
            return 1;
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    CloseCom(1);
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double ratio = median / line_ms;
    std::printf(
        "exchange_sequence: %.2f ms (median of %d); line time of %d bytes at 115200 baud: %.2f "
        "ms; ratio %.3f; target <= %.2f: %s\n",
        median, ROUNDS, line_bytes, line_ms, ratio, TARGET, ratio <= TARGET ? "met" : "missed");
    ReportFigure("exchange sequence ME ST WT WS RE", median, "ms", "line time of the bytes",
                 line_ms, TARGET);
    return 0;
}
