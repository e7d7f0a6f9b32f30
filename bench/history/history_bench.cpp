// The inspection history on ext4 with full sync: one cycle recorded (median and 99th
// percentile of 1,000, against a synced write of the record's size measured in the same run),
// then on 1,000,000 records spread over a year: today's counts with 직행률, what the gates add to
// a cycle (all of them on, against all off), and the file's bytes a record.
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/report.h"
#include "gates/gates.h"
#include "history/counts.h"
#include "history/recorder.h"
#include "history/shift_counts.h"
#include "records/database.h"
#include "records/record_fields.h"
#include "records/station_file.h"
#include "settings/settings_in_force.h"
#include "tests/support/sample_inspection.h"
#include "toolkit/toolkit_testing.h"
#include "trail/audit_trail.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int RECORDED = 1000;
constexpr int RECORDS = 1000000;
constexpr int BATCH = 10000;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Percentile(std::vector<double> times, double p) {
    std::sort(times.begin(), times.end());
    return times[static_cast<std::size_t>(p * static_cast<double>(times.size() - 1))];
}

Inspection AnInspection(int n, std::chrono::system_clock::time_point started) {
    Inspection inspection = SampleInspection(n, started, SampleSetup("03", 4.5, 5, 10, 7), n % 13,
                                             n % 7, n % 20 == 0 ? Outcome::NG : Outcome::OK);
    // The unit after each N.G is that unit tested again.
    const bool retest = n % 20 == 1;
    inspection.serial = "SN2026-" + std::to_string(100000 + n - (retest ? 1 : 0));
    inspection.attempt = retest ? 2 : 1;
    return inspection;
}

// The physical reference: a record's bytes appended to a file and synced to disk.
double SyncedWriteMs() {
    const int fd = open("synced.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string bytes(800, 'r');
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        if (write(fd, bytes.data(), bytes.size()) < 0 || fdatasync(fd) != 0) {
            std::perror("synced write");
        }
        times.push_back(MsSince(start));
    }
    close(fd);
    return Percentile(times, 0.5);
}

void BenchRecording() {
    history::Start({});
    std::vector<double> times;
    for (int n = 0; n < RECORDED; ++n) {
        const Inspection cycle = AnInspection(n, std::chrono::system_clock::now());
        const auto start = Clock::now();
        history::Record(cycle);
        times.push_back(MsSince(start));
    }
    // The check after each commit that the path still names the file open.
    std::vector<double> checks;
    for (int n = 0; n < 10000; ++n) {
        const auto start = Clock::now();
        if (records::StationFileReplaced()) {
            std::fprintf(stderr, "the file seen as replaced\n");
        }
        checks.push_back(MsSince(start));
    }
    history::Stop();
    ReportFigure("the file's check after a commit, median", Percentile(checks, 0.5), "ms",
                 "target time", 0.1, 1.0);
    const double synced = SyncedWriteMs();
    ReportFigure("record a cycle, median (full sync)", Percentile(times, 0.5), "ms", "target time",
                 3.0, 1.0);
    ReportFigure("record a cycle, 99th percentile (full sync)", Percentile(times, 0.99), "ms",
                 "target time", 15.0, 1.0);
    ReportFigure("record a cycle against a synced write", Percentile(times, 0.5), "ms",
                 "800-byte write + fdatasync", synced, 0);
}

// The gates' part of a cycle: the start's questions and the look after it, for a unit of the
// year's file, median of 1,000, with the settings of `ini`.
double GatesMs(const char* ini, std::chrono::system_clock::time_point now) {
    std::ofstream("station.ini", std::ios::trunc) << ini;
    settings::StartSettings();
    history::Start({});
    gates::Start({});
    // The shift's reference unit first, so that production goes.
    Inspection reference = AnInspection(0, now);
    reference.serial = "R-1";
    reference.outcome = Outcome::OK;
    reference.reference = gates::Admit({"R-1", reference.master, "", now}).reference;
    gates::AfterCycle(reference, {}, {});
    std::vector<double> times;
    int refused = 0;
    for (int n = 0; n < RECORDED; ++n) {
        Inspection cycle = AnInspection(RECORDS - 1 - 7 * n, now);
        const auto start = Clock::now();
        const gates::Admission admission =
            gates::Admit({cycle.serial, cycle.master, cycle.master_version, now});
        cycle.attempt = admission.attempt;
        gates::AfterCycle(cycle, {}, {});
        times.push_back(MsSince(start));
        refused += admission.go ? 0 : 1;
    }
    if (refused > 0) {
        std::fprintf(stderr, "%d starts refused\n", refused);
    }
    history::Stop();
    settings::StopSettings();
    trail::StopTrail();
    return Percentile(times, 0.5);
}

void BenchGates(std::chrono::system_clock::time_point now) {
    const double off = GatesMs("", now);
    const double on = GatesMs(
        "[retest]\nenabled=true\n[line_stop]\nenabled=true\n[reference]\nenabled=true\n"
        "units=M-01: R-1 O.K\n",
        now);
    ReportFigure("the gates' part of a cycle, all on, 1,000,000 records", on, "ms",
                 "the same, all off", off, 0);
    ReportFigure("what the gates add to a cycle, 1,000,000 records", on - off, "ms", "target time",
                 2.0, 1.0);
}

void BenchYear() {
    fs::remove(records::DATABASE_FILE);
    records::Database db(QStringLiteral("bench_history"));
    db.Open(records::DATABASE_FILE);
    db.Close();
    const auto empty = fs::file_size(records::DATABASE_FILE);
    db.Open(records::DATABASE_FILE);
    const auto now = std::chrono::system_clock::now();
    const auto step = std::chrono::milliseconds(365LL * 24 * 3600 * 1000 / RECORDS);
    std::vector<records::InspectionRow> rows;
    for (int n = 0; n < RECORDS; ++n) {
        const auto started = now - step * (RECORDS - n);
        rows.push_back(
            {AnInspection(n, started), records::NewUuid(started), QStringLiteral("LINE1-SURGE")});
        if (rows.size() == BATCH) {
            db.Insert(rows);
            rows.clear();
        }
    }
    db.Insert(rows);
    std::vector<double> times;
    history::Counts counts;
    for (int round = 0; round < 7; ++round) {
        const auto start = Clock::now();
        history::CountDay(&db, QDate::currentDate(), &counts);
        times.push_back(MsSince(start));
    }
    db.Close();
    BenchGates(now);
    const double growth =
        static_cast<double>(fs::file_size(records::DATABASE_FILE) - empty) / RECORDS;
    ReportFigure("today's counts and 직행률, 1,000,000 records", Percentile(times, 0.5), "ms",
                 "target time", 50.0, 1.0);
    ReportFigure("file growth a record, 1,000,000 records", growth, "B", "target size", 800.0, 1.0);
    std::fprintf(stderr, "today: %lld tested, %lld O.K, %lld N.G, 직행률 %s\n", counts.tested,
                 counts.ok, counts.ng, history::FirstPassText(counts).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // A start the gates refused is counted, never shown.
    toolkit_testing::ScriptPopups(true);
    setenv("SURGE_STATION", "LINE1-SURGE", 1);
    const fs::path dir =
        fs::temp_directory_path() / ("surge-history-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    BenchRecording();
    BenchYear();
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return 0;
}
