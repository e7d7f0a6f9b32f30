// One station's recording, for the tests and the benchmark against a plant server:
//   surge-history-driver CYCLES INTERVAL_MS WAIT_S [SETTLE_MS]
// (after SETTLE_MS of running idle, as a station that has been up a while) records CYCLES cycles
// through history::Record in the working directory, one every INTERVAL_MS, then waits up to WAIT_S
// seconds for the server to acknowledge them. Prints the warnings shown and the time each Record
// took; exits 0 when no record waits.
#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "history/recorder.h"
#include "tests/support/sample_inspection.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

Inspection MakeInspection(int n) {
    Inspection c =
        SampleInspection(n, std::chrono::system_clock::now(), SampleSetup("03", 4.5, 2, 3, 10),
                         n % 20, n % 7, n % 20 < 15 ? Outcome::OK : Outcome::NG);
    c.serial = "SN-" + std::to_string(n);
    c.ended_at = std::chrono::system_clock::now();
    return c;
}

void RunEvents(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        QCoreApplication::processEvents();
        toolkit_testing::RunDeferredCalls();
        QThread::msleep(static_cast<unsigned long>(std::min(ms, 10)));
    } while (std::chrono::steady_clock::now() < until);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: surge-history-driver CYCLES INTERVAL_MS WAIT_S [SETTLE_MS]\n");
        return 64;
    }
    const int cycles = std::atoi(argv[1]);
    const int interval = std::atoi(argv[2]);
    const int wait_s = std::atoi(argv[3]);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (InitRuntimeEngine(argc, argv) == 0) {
        return 1;
    }
    toolkit_testing::ScriptPopups(true);
    history::Start(history::Strip{});
    if (argc == 5) {
        RunEvents(std::atoi(argv[4]));
    }
    std::vector<double> record_ms;
    for (int n = 1; n <= cycles; ++n) {
        const Inspection cycle = MakeInspection(n);
        const auto start = std::chrono::steady_clock::now();
        history::Record(cycle);
        record_ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        RunEvents(interval);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait_s);
    while (history::Waiting() != 0 && std::chrono::steady_clock::now() < deadline) {
        RunEvents(50);
    }
    RunEvents(20);
    const long waiting = history::Waiting();
    int warnings = 0;
    for (const auto& popup : toolkit_testing::ShownPopups()) {
        warnings += popup.title == "경  고";
        std::printf("warning %s\n", popup.text.c_str());
    }
    std::printf("record_times");
    for (const double ms : record_ms) {
        std::printf(" %.3f", ms);
    }
    std::printf("\n");
    std::sort(record_ms.begin(), record_ms.end());
    const auto at = [&](double q) {
        return record_ms.empty() ? 0.0
                                 : record_ms[static_cast<std::size_t>(q * (record_ms.size() - 1))];
    };
    std::printf("warnings %d\nwaiting %ld\nrecord_ms %.3f %.3f %.3f\n", warnings, waiting, at(0.5),
                at(0.99), at(1.0));
    history::Stop();
    CloseRuntimeEngine();
    return waiting == 0 ? 0 : 2;
}
