// The features of 1,000,000 kept records recomputed in the upgrade (target 2 min): a station file
// written as a station before the wave's judgement kept it, the waves recordings of a population
// of good units, then the station's own background thread, with its pauses and its low priority,
// timed from its start to the last record looked at; and a cycle's record written meanwhile,
// against the same before it began. An argument gives another number of records.
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/report.h"
#include "history/wave_backfill.h"
#include "records/database.h"
#include "records/database_file.h"
#include "records/schema.h"
#include "sim/population.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int DISTINCT_WAVES = 997;
constexpr double TARGET_S = 120.0;
// The cycles recorded before and while the thread runs, a tenth of a second apart while it runs.
constexpr int CYCLES = 200;

QByteArray Bytes(const Wave& wave) {
    return QByteArray(reinterpret_cast<const char*>(wave.data()), WAVE_SAMPLES);
}

// `records` passed units of one master with their measured waves, none with its features, and
// the file's walk begun above the newest, as the upgrade leaves a file of before.
bool Generate(long long records) {
    Population population(2026);
    std::vector<QByteArray> waves;
    for (int i = 0; i < DISTINCT_WAVES; ++i) {
        waves.push_back(Bytes(ToWave(population.Record(population.GoodUnit()))));
    }
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench_generate");
        db.setDatabaseName(records::DATABASE_FILE);
        ok = db.open();
        QSqlQuery query(db);
        query.exec("PRAGMA journal_mode = WAL");
        for (const std::string& statement : records::LocalSchema(0)) {
            ok = ok && query.exec(QString::fromStdString(statement));
        }
        ok = ok && db.transaction();
        query.prepare("INSERT INTO standard (id, wave) VALUES (1, ?)");
        query.addBindValue(Bytes(ToWave(population.Standard())));
        ok = ok && query.exec();
        ok =
            ok && query.prepare(
                      "INSERT INTO inspection_record (uuid, station, started_at, ended_at, serial, "
                      "master, model_no, outcome, stopped_at, standard, measured_wave) VALUES (?, "
                      "'LINE1', '2026-01-01T08:00:00.000+09:00', '2026-01-01T08:00:00.400+09:00', "
                      "?, 'M-01', '03', 'O.K', '', 1, ?)");
        for (long long n = 0; n < records && ok; ++n) {
            query.addBindValue(QString("u%1").arg(n));
            query.addBindValue(QString("SN%1").arg(n));
            query.addBindValue(waves[static_cast<std::size_t>(n % DISTINCT_WAVES)]);
            ok = query.exec();
        }
        ok = ok && query.exec("DELETE FROM wave_backfill") &&
             query.exec(records::START_WAVE_BACKFILL) && db.commit();
        query.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    QSqlDatabase::removeDatabase("bench_generate");
    return ok;
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// `count` records written as the station writes a cycle's (full sync), `apart` between them.
std::vector<double> RecordCycles(int count, std::chrono::milliseconds apart) {
    Population population(7);
    records::Database db(QStringLiteral("bench_cycle"));
    db.Open(records::DATABASE_FILE);
    std::vector<double> times;
    for (int n = 0; n < count; ++n) {
        records::InspectionRow row;
        row.inspection.outcome = Outcome::OK;
        row.inspection.measured_wave = ToWave(population.Record(population.GoodUnit()));
        row.uuid = QStringLiteral("cycle-%1-%2").arg(apart.count()).arg(n);
        row.station = QStringLiteral("LINE1");
        const auto start = Clock::now();
        db.Insert({row});
        times.push_back(MsSince(start));
        QThread::msleep(static_cast<unsigned long>(apart.count()));
    }
    db.Close();
    return times;
}

std::string Value(const char* sql) {
    std::string value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench_read");
        db.setDatabaseName(records::DATABASE_FILE);
        QSqlQuery query(db);
        if (db.open() && query.exec(sql) && query.next()) {
            value = query.value(0).toString().toStdString();
        }
    }
    QSqlDatabase::removeDatabase("bench_read");
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long long records = argc > 1 ? std::atoll(argv[1]) : 1000000;
    const fs::path dir =
        fs::temp_directory_path() / ("surge-backfill-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    const auto made = Clock::now();
    if (!Generate(records)) {
        std::fprintf(stderr, "the file of %lld records could not be written\n", records);
        return 1;
    }
    std::fprintf(stderr, "%lld records written in %.0f s\n", records,
                 std::chrono::duration<double>(Clock::now() - made).count());
    const double idle = Median(RecordCycles(CYCLES, std::chrono::milliseconds(10)));
    const auto start = Clock::now();
    history::StartWaveBackfill();
    std::vector<double> cycles;
    std::thread line([&cycles] { cycles = RecordCycles(CYCLES, std::chrono::milliseconds(100)); });
    // A thread that cannot read the file waits a minute between tries: an hour is given up.
    while (Value("SELECT below FROM wave_backfill") != "0" &&
           Clock::now() - start < std::chrono::hours(1)) {
        QThread::msleep(100);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    history::StopWaveBackfill();
    line.join();
    const double during = Median(cycles);
    std::fprintf(stderr, "%s of %lld records have their features\n",
                 Value("SELECT COUNT(*) FROM wave_features").c_str(), records);
    // The target is for 1,000,000 records: another number is scaled to it, and says so.
    const double scale = 1e6 / static_cast<double>(records);
    char figure[120] = "the features of 1,000,000 kept records recomputed";
    if (records != 1000000) {
        std::snprintf(figure, sizeof figure,
                      "the features of 1,000,000 kept records recomputed (%lld measured, scaled)",
                      records);
    }
    ReportFigure(figure, seconds * scale, "s", "target time", TARGET_S, 1.0);
    ReportFigure("record a cycle while they are recomputed, median (full sync)", during, "ms",
                 "the same before", idle, 0);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return 0;
}
