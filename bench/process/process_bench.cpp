// Process control on a year of records (1,000,000 by default, or the count given as the first
// argument): a copy of the year the history panel's benchmark keeps in the temporary folder, or
// one made here, kept in a folder of its own: one master's control chart over the year and the
// year's N.G Pareto, each against 0.5 s; the report of a month against 15 s; and on a shift of
// 2,000 units of its own, the shift's report against 2 s and the drift check after a cycle against
// 2 ms.
#include <QGuiApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/report.h"
#include "bench/year_history.h"
#include "history/drift_watch.h"
#include "history/history_query.h"
#include "history/process_query.h"
#include "process/control_chart.h"
#include "process/shift_report.h"
#include "records/database.h"
#include "records/database_file.h"
#include "tests/support/sample_inspection.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int ROUNDS = 5;
constexpr int SHIFT_UNITS = 2000;
bool all_met = true;

double MedianMs(int rounds, const std::function<void()>& timed) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        timed();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Report(const std::string& what, double ms, double target_ms) {
    const bool met = ms <= target_ms;
    all_met = all_met && met;
    std::printf("%-52s %9.1f ms  target <= %.0f ms  %s\n", what.c_str(), ms, target_ms,
                met ? "met" : "MISSED");
    ReportFigure(what.c_str(), ms, "ms", "target time", target_ms, 1.0);
}

history::Filter Days(const char* from, const char* to, const char* master = "") {
    history::Filter filter;
    filter.from = from;
    filter.to = to;
    filter.master = master;
    return filter;
}

// A morning shift of 2,000 units on four masters, each with its version, judgement and
// operator, 14.4 s apart; one in twenty N.G.
bool GenerateShift(const std::string& file) {
    fs::remove(file);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench_shift");
        db.setDatabaseName(QString::fromStdString(file));
        if (!db.open()) {
            return false;
        }
        QSqlQuery query(db);
        for (const std::string& statement : records::LocalSchema(0)) {
            query.exec(QString::fromStdString(statement));
        }
        db.transaction();
        query.prepare(
            "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, model_no,"
            " voltage, width, pulse_no, judge, area, phase, outcome, stopped_at, operator,"
            " master_version) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        const QDateTime first(QDate(2026, 12, 9), QTime(6, 0));
        ok = true;
        for (int n = 0; n < SHIFT_UNITS && ok; ++n) {
            const QString at =
                first.addMSecs(n * 14400LL).toString("yyyy-MM-ddTHH:mm:ss.zzz") + "+09:00";
            const int master = n % 4;
            for (const QVariant& value : QVariantList{
                     QString::fromStdString(year_history::Uuid(n)), "station-01", at, at,
                     QString("SN%1").arg(n, 6, 10, QChar('0')), QString("모터-%1").arg(master),
                     "12", 1.5, 10, 5, 12 + master, 3 + (n * 7) % 5 + (n % 97 == 0 ? 9 : 0),
                     2 + (n * 3) % 4, n % 20 == 0 ? "N.G" : "O.K", "",
                     QString("작업자%1").arg(n * 3 / SHIFT_UNITS), QString("v%1").arg(master)}) {
                query.addBindValue(value);
            }
            ok = query.exec();
        }
        ok = db.commit() && ok;
    }
    QSqlDatabase::removeDatabase("bench_shift");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const long long records = argc > 1 ? std::atoll(argv[1]) : 1000000;
    // The year of the history panel's benchmark, copied and brought to this schema (the panel's
    // reader leaves a file's schema as it finds it), or made here.
    const fs::path dir = fs::temp_directory_path() / "surge-process-bench";
    const fs::path shared_year =
        fs::temp_directory_path() / "surge-history-bench" / records::DATABASE_FILE;
    fs::create_directories(dir);
    fs::current_path(dir);
    if (year_history::RecordsIn(records::DATABASE_FILE) != records) {
        const auto start = Clock::now();
        if (year_history::RecordsIn(shared_year.string()) == records) {
            fs::copy_file(shared_year, records::DATABASE_FILE,
                          fs::copy_options::overwrite_existing);
        } else if (!year_history::Generate(records::DATABASE_FILE, records, true)) {
            std::fprintf(stderr, "process_bench: cannot generate the year\n");
            return 1;
        }
        std::printf("made the year of %lld records in %.1f s\n", records,
                    std::chrono::duration<double>(Clock::now() - start).count());
    }
    {
        records::Database upgrade(QStringLiteral("bench_upgrade"));
        if (upgrade.Open(QString::fromLatin1(records::DATABASE_FILE)) != records::DbStatus::Ok) {
            std::fprintf(stderr, "process_bench: cannot bring the year to this schema\n");
            return 1;
        }
    }
    history::Reader reader;
    if (!history::OpenReader(records::DATABASE_FILE, &reader)) {
        std::fprintf(stderr, "process_bench: cannot read %s\n", records::DATABASE_FILE);
        return 1;
    }
    std::printf("process control, %lld records, median of %d runs, in %s\n", records, ROUNDS,
                dir.c_str());
    const std::string year = ", " + std::to_string(records) + " records";

    const history::Filter one_master = Days("2025-12-10", "2026-12-09", "모터-3");
    process::Chart chart;
    bool read = true;
    Report("control chart of one master over the year" + year,
           MedianMs(ROUNDS,
                    [&] {
                        read = process::ReadChart(reader, one_master,
                                                  process::Baseline::FIRST_TESTS, &chart) &&
                               read;
                    }),
           500);
    std::printf("  (%zu records charted, %zu signals on the area)\n", chart.count,
                chart.area.signalled.size());
    Report("control chart, limits from the whole year" + year,
           MedianMs(ROUNDS,
                    [&] {
                        read = process::ReadChart(reader, one_master, process::Baseline::FILTER,
                                                  &chart) &&
                               read;
                    }),
           500);
    history::Pareto pareto;
    Report("N.G Pareto of the year" + year,
           MedianMs(ROUNDS,
                    [&] {
                        read = history::ReadPareto(reader, Days("2025-12-10", "2026-12-09"),
                                                   &pareto) &&
                               read;
                    }),
           500);
    std::printf("  (%lld N.G units)\n", pareto.ng_units);
    // The walk the Pareto cannot do without, measured in the same run: the year's N.G records
    // counted along the index of start times and outcomes.
    const double walk = MedianMs(ROUNDS, [&reader] {
        QSqlQuery count(QSqlDatabase::database(QString::fromStdString(reader.connection)));
        count.exec(
            QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT serial) FROM inspection WHERE"
                           " started_at >= '2025-12-10' AND started_at < '2026-12-10' AND"
                           " outcome = 'N.G'"));
    });
    std::printf("  (the year's N.G units counted alone: %.1f ms)\n", walk);
    ReportFigure("the year's N.G units counted alone (the Pareto's floor)", walk, "ms", "", 0, 0);

    const auto report = [&](const history::Filter& filter, const char* file) {
        int parts = 0;
        const process::ReportResult result = process::WriteShiftReport(
            reader, filter, file, "2026-12-09 14:00", [&parts](int done, int) { parts = done; });
        read = result == process::ReportResult::WRITTEN && read;
        std::error_code error;
        std::printf("  (%s: %d parts, %.0f kB)\n", file, parts,
                    static_cast<double>(fs::file_size(file, error)) / 1e3);
    };
    Report("report of a month (30 days)" + year,
           MedianMs(1, [&] { report(Days("2026-11-10", "2026-12-09"), "month.pdf"); }), 15000);
    history::CloseReader(reader);

    if (!GenerateShift("shift.db") || !history::OpenReader("shift.db", &reader)) {
        std::fprintf(stderr, "process_bench: cannot make the shift\n");
        return 1;
    }
    history::Filter shift;
    shift.from_at = "2026-12-09T06:00:00";
    shift.to_at = "2026-12-09T14:00:00";
    Report("report of a shift, 2,000 units", MedianMs(3, [&] { report(shift, "shift.pdf"); }),
           2000);
    history::CloseReader(reader);

    // The drift check after a cycle of a master the station has tested before: the first one
    // reads its limits and newest readings, the others only add the cycle's.
    {
        records::Database db(QStringLiteral("bench_drift"));
        if (db.Open(QStringLiteral("shift.db")) != records::DbStatus::Ok) {
            std::fprintf(stderr, "process_bench: cannot open the shift\n");
            return 1;
        }
        history::DriftWatch watch;
        Inspection cycle = SampleInspection(1, std::chrono::system_clock::now(),
                                            SampleSetup("12", 1.5, 10, 5, 13), 5, 5, Outcome::OK);
        cycle.master = "모터-1";
        cycle.master_version = "v1";
        const auto start = Clock::now();
        watch.After(&db, cycle);
        const double first =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::printf("%-52s %9.2f ms\n", "drift check, a master's first cycle (reads its chart)",
                    first);
        ReportFigure("drift check, a master's first cycle (reads its chart)", first, "ms", "", 0,
                     0);
        int signalled = 0, n = 0;
        Report("drift check after a cycle",
               MedianMs(1001,
                        [&] {
                            cycle.result->area = 3 + (n++ * 7) % 5;
                            signalled += watch.After(&db, cycle).Signal() ? 1 : 0;
                        }),
               2);
        db.Close();
        std::printf("  (%d of 1001 cycles signalled)\n", signalled);
    }
    fs::remove("shift.db");
    if (!read) {
        std::printf("a read or a report failed\n");
    }
    fs::current_path(fs::temp_directory_path());
    return all_met && read ? 0 : 1;
}
