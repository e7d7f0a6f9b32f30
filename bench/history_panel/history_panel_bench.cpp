// The history panel on a year of records (1,000,000 by default, or the count given as the first
// argument): the panel opened from the main panel and each filter applied, every one against
// 0.5 s; and the database file's growth a record, with the schema alone and with the panel's
// indexes. The year's database is generated once into a temporary folder and kept for later runs.
#include <QByteArray>
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
#include "history/history_panel.h"
#include "history/history_query.h"
#include "records/database_file.h"
#include "records/schema.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace toolkit_testing;

constexpr int ROUNDS = 5;
constexpr double TARGET_MS = 500.0;
constexpr int MASTERS = 16;
constexpr const char* OLD_MASTER = "구형-01";  // made only in the year's first two weeks
constexpr int GROWTH_RECORDS = 100000;

bool all_met = true;
long long records_shown = 0;

std::string Uuid(long long n) {
    char text[40];
    std::snprintf(text, sizeof text, "%08llx-0000-4000-8000-%012llx", n >> 16, n);
    return text;
}

// `records` over the 365 days that end on 2026-12-09, in time order, with the given indexes.
bool Generate(const std::string& file, long long records, bool panel_indexes) {
    fs::remove(file);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench_generate");
        db.setDatabaseName(QString::fromStdString(file));
        if (!db.open()) {
            return false;
        }
        QSqlQuery query(db);
        query.exec("PRAGMA journal_mode = WAL");
        for (const std::string& statement : records::LocalSchema(0)) {
            query.exec(QString::fromStdString(statement));
        }
        if (!panel_indexes) {
            for (const records::Index& index : records::READ_INDEXES) {
                query.exec(QStringLiteral("DROP INDEX %1").arg(index.name));
            }
        }
        db.transaction();
        query.prepare(
            "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, model_no,"
            " voltage, width, pulse_no, judge, area, phase, outcome, stopped_at, standard_wave,"
            " measured_wave) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        QByteArray standard(WAVE_SAMPLES, 0), measured(WAVE_SAMPLES, 0);
        for (int i = 0; i < WAVE_SAMPLES; ++i) {
            standard[i] = static_cast<char>((i * 7) % 200 - 100);
            measured[i] = static_cast<char>((i * 7 + 3) % 200 - 100);
        }
        const QDateTime first(QDate(2025, 12, 10), QTime(0, 0));
        const double step_ms = 365.0 * 86400000.0 / static_cast<double>(records);
        const QVariant none;
        ok = true;
        for (long long n = 0; n < records && ok; ++n) {
            const QDateTime at = first.addMSecs(static_cast<qint64>(n * step_ms));
            const QString started = at.toString("yyyy-MM-ddTHH:mm:ss.zzz") + "+09:00";
            const QString ended = at.addMSecs(400).toString("yyyy-MM-ddTHH:mm:ss.zzz") + "+09:00";
            const int roll = static_cast<int>((n * 7919) % 100);
            const QString outcome = roll < 93 ? "O.K" : roll < 99 ? "N.G" : "incomplete";
            const bool complete = roll < 99;
            const bool old = at.date() < first.date().addDays(14) && n % 10 == 0;
            query.addBindValue(QString::fromStdString(Uuid(n)));
            query.addBindValue("station-01");
            query.addBindValue(started);
            query.addBindValue(ended);
            query.addBindValue(QString("SN%1").arg(n, 9, 10, QChar('0')));
            query.addBindValue(old ? QString(OLD_MASTER) : QString("모터-%1").arg(n % MASTERS));
            query.addBindValue("12");
            query.addBindValue(1.5);
            query.addBindValue(10);
            query.addBindValue(5);
            query.addBindValue(20);
            query.addBindValue(complete ? QVariant(static_cast<int>(n % 37)) : none);
            query.addBindValue(complete ? QVariant(static_cast<int>(n % 41)) : none);
            query.addBindValue(outcome);
            query.addBindValue(complete ? "" : "WT");
            query.addBindValue(complete ? QVariant(standard) : none);
            query.addBindValue(complete ? QVariant(measured) : none);
            ok = query.exec();
        }
        ok = db.commit() && ok;
        query.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    QSqlDatabase::removeDatabase("bench_generate");
    return ok;
}

long long RecordsIn(const std::string& file) {
    long long count = -1;
    if (!fs::exists(file)) {
        return count;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench_count");
        db.setDatabaseName(QString::fromStdString(file));
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT MAX(id) FROM inspection_record") && query.next()) {
            count = query.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase("bench_count");
    return count;
}

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
        const double ms = MedianMs([] {}, [] { Commit(historyHandle, HISTORY_SEARCH); });
        std::printf("  (%s: %s records, page %s)\n", f.name, Text(HISTORY_TESTED).c_str(),
                    Text(HISTORY_PAGE).c_str());
        Report(f.name, ms);
    }
    SetFilter(filters[0]);
    Commit(historyHandle, HISTORY_SEARCH);
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
