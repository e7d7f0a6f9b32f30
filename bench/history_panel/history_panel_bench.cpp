// The history panel on a year of records (1,000,000 by default, or the count given as the first
// argument): the panel opened from the main panel and each filter applied, every one against
// 0.5 s; and the database file's growth a record, with the schema alone and with the panel's
// indexes. The year's database is generated once into a temporary folder and kept for later runs.
#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/surge.h"
#include "bench/report.h"
#include "bench/year_history.h"
#include "history/history_panel.h"
#include "history/history_query.h"
#include "records/database.h"
#include "records/database_file.h"
#include "records/schema.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

namespace fs = std::filesystem;
using year_history::Generate;
using year_history::OLD_MASTER;
using year_history::RecordsIn;
using Clock = std::chrono::steady_clock;
using namespace toolkit_testing;

constexpr int ROUNDS = 5;
constexpr double TARGET_MS = 500.0;
constexpr int GROWTH_RECORDS = 100000;

bool all_met = true;
long long records_shown = 0;

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

void Report(const std::string& what, double ms) {
    const bool met = ms <= TARGET_MS;
    all_met = all_met && met;
    std::printf("%-44s %9.2f ms  target <= %.0f ms  %s\n", what.c_str(), ms, TARGET_MS,
                met ? "met" : "MISSED");
    const std::string figure = what + ", " + std::to_string(records_shown) + " records";
    ReportFigure(figure.c_str(), ms, "ms", "target time", TARGET_MS, 1.0);
}

std::string Text(int control) {
    char text[64] = "";
    GetCtrlVal(historyHandle, control, text);
    return text;
}

struct Filter {
    const char* name;
    const char* from;
    const char* to;
    const char* master;
    const char* serial;
    int outcome;
};

void SetFilter(const Filter& f) {
    SetCtrlVal(historyHandle, HISTORY_FROM, f.from);
    SetCtrlVal(historyHandle, HISTORY_TO, f.to);
    SetCtrlVal(historyHandle, HISTORY_MASTER, f.master);
    SetCtrlVal(historyHandle, HISTORY_SERIAL, f.serial);
    SetCtrlVal(historyHandle, HISTORY_OUTCOME, f.outcome);
}

void MeasureGrowth(const fs::path& dir) {
    const std::string file = (dir / "growth.db").string();
    double bytes[2] = {0, 0};
    for (int with = 0; with < 2; ++with) {
        if (!Generate(file, GROWTH_RECORDS, with == 1)) {
            std::printf("cannot generate %s\n", file.c_str());
            all_met = false;
            return;
        }
        bytes[with] = static_cast<double>(fs::file_size(file)) / GROWTH_RECORDS;
    }
    fs::remove(file);
    fs::remove(file + "-wal");
    fs::remove(file + "-shm");
    std::printf(
        "file a record, %d records: schema alone %.1f B, with the panel's indexes %.1f B"
        " (+%.1f B)\n",
        GROWTH_RECORDS, bytes[0], bytes[1], bytes[1] - bytes[0]);
    ReportFigure("history file a record, schema alone", bytes[0], "B", "", 0, 0);
    ReportFigure("history file a record, added by the panel's indexes", bytes[1] - bytes[0], "B",
                 "", 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const long long records = argc > 1 ? std::atoll(argv[1]) : 1000000;
    records_shown = records;
    const fs::path dir = fs::temp_directory_path() / "surge-history-bench";
    fs::create_directories(dir);
    fs::copy_file(SURGE_UIR_PATH, dir / SURGE_UIR, fs::copy_options::overwrite_existing);
    fs::current_path(dir);
    if (InitRuntimeEngine(argc, argv) == 0) {
        return 1;
    }
    ScriptPopups(true);
    SetSystemDate(2026, 12, 9);

    if (RecordsIn(records::DATABASE_FILE) != records) {
        const auto start = Clock::now();
        if (!Generate(records::DATABASE_FILE, records, true)) {
            std::fprintf(stderr, "history_panel_bench: cannot generate the database\n");
            return 1;
        }
        std::printf("generated %lld records in %.1f s\n", records,
                    std::chrono::duration<double>(Clock::now() - start).count());
    }
    {
        // A year kept from an earlier run is brought to this schema, as the station does at start.
        records::Database upgrade(QStringLiteral("bench_upgrade"));
        if (upgrade.Open(QString::fromLatin1(records::DATABASE_FILE)) != records::DbStatus::Ok) {
            std::fprintf(stderr, "history_panel_bench: cannot bring the year to this schema\n");
            return 1;
        }
    }
    std::printf("history panel, %lld records (%.0f MB), median of %d runs, in %s\n", records,
                static_cast<double>(fs::file_size(records::DATABASE_FILE)) / 1e6, ROUNDS,
                dir.c_str());

    Register_callbacks();
    mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
    if (mainHandle < 0) {
        std::fprintf(stderr, "history_panel_bench: cannot load the main panel\n");
        return 1;
    }
    DisplayPanel(mainHandle);

    const auto start = Clock::now();
    Commit(mainHandle, MAIN_HISTORY);
    const double first_open =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    Report("history panel opened, the first time", first_open);
    Report("history panel opened (the last 7 days)",
           MedianMs([] { Commit(historyHandle, HISTORY_QUIT); },
                    [] { Commit(mainHandle, MAIN_HISTORY); }));

    const Filter filters[] = {
        {"filter: the whole year", "2025-12-10", "2026-12-09", "", "", 0},
        {"filter: one day", "2026-06-01", "2026-06-01", "", "", 0},
        {"filter: the year, one master", "2025-12-10", "2026-12-09", "모터-3", "", 0},
        {"filter: the year, a master of its first weeks", "2025-12-10", "2026-12-09", OLD_MASTER,
         "", 0},
        {"filter: the year, a master never made", "2025-12-10", "2026-12-09", "없음", "", 0},
        {"filter: the year, one unit's serial", "2025-12-10", "2026-12-09", "", "SN000500000", 0},
        {"filter: the year, N.G", "2025-12-10", "2026-12-09", "", "", 2},
        {"filter: the year, incomplete", "2025-12-10", "2026-12-09", "", "", 3},
        {"filter: the year, one master, N.G", "2025-12-10", "2026-12-09", "모터-3", "", 2},
    };
    for (const Filter& f : filters) {
        SetFilter(f);
        // Each round begins with no units still being counted for the round before.
        const double ms =
            MedianMs([] { Stop_history_panel(); }, [] { Commit(historyHandle, HISTORY_SEARCH); });
        std::printf("  (%s: %s records, page %s)\n", f.name, Text(HISTORY_TESTED).c_str(),
                    Text(HISTORY_PAGE).c_str());
        Report(f.name, ms);
    }
    // Over months the units come later, counted on their own thread.
    SetFilter(filters[0]);
    const double units_ms =
        MedianMs([] { Stop_history_panel(); },
                 [] {
                     Commit(historyHandle, HISTORY_SEARCH);
                     while (Text(HISTORY_FINAL_YIELD) == "계산 중") {
                         QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                     }
                 });
    std::printf("filter: the whole year, its units shown     %9.2f ms\n", units_ms);
    ReportFigure(
        ("filter: the whole year, its units shown, " + std::to_string(records_shown) + " records")
            .c_str(),
        units_ms, "ms", "", 0, 0);
    Report("next page of the whole year",
           MedianMs([] {}, [] { Commit(historyHandle, HISTORY_OLDER); }));
    Report("a record chosen (its waves drawn)",
           MedianMs([] {},
                    [] {
                        ClickTableCell(historyHandle, HISTORY_TABLE, MakePoint(1, 3));
                        RunDeferredCalls();
                    }));
    Commit(historyHandle, HISTORY_QUIT);
    ResetHistoryPanel();

    MeasureGrowth(dir);
    for (const auto& popup : ShownPopups()) {
        if (popup.kind == PopupKind::MESSAGE) {
            std::printf("unexpected warning: %s\n", popup.text.c_str());
            all_met = false;
        }
    }
    fs::current_path(fs::temp_directory_path());
    return all_met ? 0 : 1;
}
