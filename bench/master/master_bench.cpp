// The master library on stores of 1,000 and 10,000 masters: the list panel filled, the last
// record selected, a save (in place of the middle record, and appended), the middle record
// deleted. Saves and deletes are set against copying both store files and flushing them to
// disk, measured in the same run; the list against 0.3 s; each operation against its own time
// on the smaller store (linear: at most 12 times for 10 times the records).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>
#include "bench/report.h"

#include "app/surge.h"
#include "master/master.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int ROUNDS = 7;
constexpr double RATIO_TARGET = 3.0;
constexpr double LIST_TARGET_MS = 300.0;
constexpr double LINEAR_TARGET = 12.0;

bool all_met = true;

struct Store {
    std::string names;
    std::string waves;
};

Store MakeStore(int records) {
    Store store;
    char line[128];
    for (int i = 1; i <= records; ++i) {
        std::snprintf(line, sizeof line, "M%05d %2.1f %d %d %d %d %d\n", i, (i % 99) / 10.0, i % 8,
                      i % 21, i % 100, (i * 7) % 100, i % 5);
        store.names += line;
        for (int s = 0; s < WAVE_SAMPLES; ++s) {
            store.waves += static_cast<char>((s * 3 + i) & 0xFF);
        }
    }
    return store;
}

void WriteBytes(const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

void PutStore(const Store& store) {
    WriteBytes(MODEL_NAME_FILE, store.names);
    WriteBytes(MODEL_WAVE_FILE, store.waves);
}

// Median milliseconds of `timed`, each run after `prepare` (not timed).
double MedianMs(const std::function<void()>& prepare, const std::function<void()>& timed) {
    std::vector<double> times;
    for (int round = 0; round < ROUNDS; ++round) {
        prepare();
        const auto start = Clock::now();
        timed();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The physical reference: both store files copied and flushed to disk.
void CopyAndFlushStore() {
    for (const auto& [from, to] : {std::pair{MODEL_NAME_FILE, "copy_name.dat"},
                                   std::pair{MODEL_WAVE_FILE, "copy_wave.dat"}}) {
        CopyFile(from, to);
        std::FILE* copy = std::fopen(to, "ab");
        FlushFileToDisk(copy);
        std::fclose(copy);
    }
    SyncWorkingDirectory();
}

void Report(const char* what, int records, double ms, const char* reference, double reference_ms,
            double target) {
    const double ratio = ms / reference_ms;
    const bool met = ratio <= target;
    all_met = all_met && met;
    std::printf("%-32s %6d  %9.2f ms  %-26s %9.2f ms  ratio %6.2f  target <= %4.1f  %s\n", what,
                records, ms, reference, reference_ms, ratio, target, met ? "met" : "MISSED");
    char figure[80];
    std::snprintf(figure, sizeof figure, "%s, %d masters", what, records);
    ReportFigure(figure, ms, "ms", reference, reference_ms, target);
}

void OpenList() {
    toolkit_testing::Commit(setupHandle, SETUP_LIST);
}

void ChooseRow(int row) {
    toolkit_testing::ClickTableCell(masterHandle, MASTER_TABLE, MakePoint(1, row));
    toolkit_testing::RunDeferredCalls();
}

struct Figures {
    double reference, list, select, save_replace, save_append, remove;
};

Figures Measure(int records) {
    const Store store = MakeStore(records);
    const int middle = records / 2 + 1;
    char middle_name[16];
    std::snprintf(middle_name, sizeof middle_name, "M%05d", middle);
    Figures f{};

    f.reference = MedianMs([&] { PutStore(store); }, CopyAndFlushStore);
    f.list = MedianMs(
        [&] {
            PutStore(store);
            Master_cancel(masterHandle, MASTER_CANCEL, EVENT_COMMIT, nullptr, 0, 0);
        },
        OpenList);
    f.select = MedianMs(
        [&] {
            PutStore(store);
            OpenList();
            ChooseRow(records);
        },
        [] { toolkit_testing::Commit(masterHandle, MASTER_SELECT); });
    f.save_replace = MedianMs(
        [&] {
            PutStore(store);
            SetCtrlVal(setupHandle, SETUP_MODEL_NAME, middle_name);
            toolkit_testing::QueueConfirmAnswer(1);
            toolkit_testing::QueueConfirmAnswer(1);
        },
        [] { toolkit_testing::Commit(setupHandle, SETUP_SAVE); });
    f.save_append = MedianMs(
        [&] {
            PutStore(store);
            SetCtrlVal(setupHandle, SETUP_MODEL_NAME, "NEWMASTER");
            toolkit_testing::QueueConfirmAnswer(1);
        },
        [] { toolkit_testing::Commit(setupHandle, SETUP_SAVE); });
    f.remove = MedianMs(
        [&] {
            Master_cancel(masterHandle, MASTER_CANCEL, EVENT_COMMIT, nullptr, 0, 0);
            PutStore(store);
            OpenList();
            ChooseRow(middle);
        },
        [] { toolkit_testing::Commit(masterHandle, MASTER_DELETE); });
    Master_cancel(masterHandle, MASTER_CANCEL, EVENT_COMMIT, nullptr, 0, 0);

    Report("save (replace the middle)", records, f.save_replace, "copy+flush both files",
           f.reference, RATIO_TARGET);
    Report("save (append)", records, f.save_append, "copy+flush both files", f.reference,
           RATIO_TARGET);
    Report("delete the middle", records, f.remove, "copy+flush both files", f.reference,
           RATIO_TARGET);
    Report("list panel filled", records, f.list, "target time", LIST_TARGET_MS, 1.0);
    std::printf("%-32s %6d  %9.2f ms\n", "select record n (n = last)", records, f.select);
    char figure[80];
    std::snprintf(figure, sizeof figure, "select record n (n = last), %d masters", records);
    ReportFigure(figure, f.select, "ms", "", 0, 0);
    return f;
}

void ReportLinear(const char* what, double small_ms, double large_ms) {
    const double ratio = large_ms / small_ms;
    const bool met = ratio <= LINEAR_TARGET;
    all_met = all_met && met;
    std::printf("%-32s  10k/1k: %9.2f ms / %7.2f ms = ratio %6.2f  target <= %4.1f  %s\n", what,
                large_ms, small_ms, ratio, LINEAR_TARGET, met ? "met" : "MISSED");
    char figure[80];
    std::snprintf(figure, sizeof figure, "%s, 10k against 1k", what);
    ReportFigure(figure, large_ms, "ms", "1k masters", small_ms, LINEAR_TARGET);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const fs::path dir = fs::temp_directory_path() / "surge-master-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(SURGE_UIR_PATH, dir / SURGE_UIR);
    fs::current_path(dir);

    if (InitRuntimeEngine(argc, argv) == 0) {
        return 1;
    }
    toolkit_testing::ScriptPopups(true);
    Register_callbacks();
    mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
    setupHandle = LoadPanel(0, SURGE_UIR, SETUP);
    masterHandle = LoadPanel(0, SURGE_UIR, MASTER);
    if (mainHandle < 0 || setupHandle < 0 || masterHandle < 0) {
        std::fprintf(stderr, "master_bench: cannot load the panels\n");
        return 1;
    }
    DisplayPanel(setupHandle);

    std::printf("master library, median of %d runs, in %s\n", ROUNDS, dir.c_str());
    const Figures small = Measure(1000);
    const Figures large = Measure(10000);
    ReportLinear("list panel filled", small.list, large.list);
    ReportLinear("select record n (n = last)", small.select, large.select);
    ReportLinear("save (replace the middle)", small.save_replace, large.save_replace);
    ReportLinear("save (append)", small.save_append, large.save_append);
    ReportLinear("delete the middle", small.remove, large.remove);
    for (const auto& popup : toolkit_testing::ShownPopups()) {
        if (popup.kind == toolkit_testing::PopupKind::MESSAGE) {
            std::printf("unexpected warning: %s\n", popup.text.c_str());
            all_met = false;
        }
    }

    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return all_met ? 0 : 1;
}
