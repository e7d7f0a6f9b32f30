// The audit trail on disk with full sync: a master's save audited (median of 500, against an
// fdatasync'd write of the row's size measured in the same run), then surge-audit verify of a
// trail of 100,000 rows (median of three runs) against its target time.
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/report.h"
#include "records/database.h"
#include "records/schema.h"
#include "trail/access_database.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"
#include "trail/digest.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int AUDITED = 500;
constexpr int TRAIL = 100000;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A master overwritten, as the station audits it.
trail::AuditRow MasterRow(int n) {
    trail::AuditRow row;
    row.seq = n + 1;
    row.at = "2026-12-09T10:15:02.123+09:00";
    row.station = "LINE1-SURGE";
    row.user = "kim";
    row.role = "engineer";
    row.action = trail::AUDIT_MASTER_OVERWRITTEN;
    row.object = "M-" + std::to_string(n % 100);
    row.before = row.object + " 4.5 5 10 7 7 0 \xC2\xB7 " + trail::Sha256Hex(row.object);
    row.after = row.object + " 4.6 5 10 7 7 0 \xC2\xB7 " + trail::Sha256Hex(row.before);
    row.reason = "new winding lot";
    return row;
}

// The bytes a row stores: its twelve values.
std::size_t RowBytes(const trail::AuditRow& row) {
    std::size_t bytes = std::to_string(row.seq).size();
    for (const std::string* field :
         {&row.at, &row.station, &row.user, &row.role, &row.action, &row.object, &row.before,
          &row.after, &row.reason, &row.prev_hash, &row.hash}) {
        bytes += field->size();
    }
    return bytes;
}

// The physical reference: `size` bytes appended to a file and synced to disk.
double SyncedWriteMs(std::size_t size) {
    const int fd = open("synced.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string bytes(size, 'r');
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        if (write(fd, bytes.data(), bytes.size()) < 0 || fdatasync(fd) != 0) {
            std::perror("synced write");
        }
        times.push_back(MsSince(start));
    }
    close(fd);
    return Median(times);
}

void BenchAuditRow() {
    trail::StartTrail();
    std::vector<double> times;
    for (int n = 0; n < AUDITED; ++n) {
        const trail::AuditRow row = MasterRow(n);
        const auto start = Clock::now();
        trail::Audit(row.action, row.object, row.before, row.after, row.reason);
        times.push_back(MsSince(start));
    }
    trail::StopTrail();
    trail::CloseAccessDatabase();
    trail::AuditRow sized = MasterRow(0);
    sized.prev_hash = trail::GENESIS;
    sized.hash = trail::GENESIS;
    const std::size_t bytes = RowBytes(sized);
    const std::string reference = std::to_string(bytes) + "-byte write + fdatasync";
    ReportFigure("an audit row written (full sync)", Median(times), "ms", reference.c_str(),
                 SyncedWriteMs(bytes), 2.0);
}

// A trail of TRAIL rows whose chain holds, inserted in one transaction.
bool MakeTrail(const std::string& path) {
    fs::remove(path);
    {
        records::Database schema(QStringLiteral("bench_audit_schema"));
        if (schema.Open(QString::fromStdString(path)) != records::DbStatus::Ok) {
            return false;
        }
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench_audit");
        db.setDatabaseName(QString::fromStdString(path));
        ok = db.open() && db.transaction();
        QSqlQuery insert(db);
        ok = ok && insert.prepare(QStringLiteral("INSERT INTO audit (%1) VALUES (?, ?, ?, ?, ?, "
                                                 "?, ?, ?, ?, ?, ?, ?)")
                                      .arg(QLatin1String(records::AUDIT_COLUMNS)));
        std::string prev = trail::GENESIS;
        for (int n = 0; ok && n < TRAIL; ++n) {
            trail::AuditRow row = MasterRow(n);
            if (n == 0) {  // the engineer the other rows name, added by the first administrator
                row.user = "-";
                row.role = "-";
                row.action = trail::AUDIT_USER_ADDED;
                row.object = "kim";
                row.before.clear();
                row.after = "engineer";
            }
            row.prev_hash = prev;
            row.hash = trail::Sha256Hex(trail::CanonicalText(row));
            prev = row.hash;
            insert.addBindValue(row.seq);
            for (const std::string* field :
                 {&row.at, &row.station, &row.user, &row.role, &row.action, &row.object,
                  &row.before, &row.after, &row.reason, &row.prev_hash, &row.hash}) {
                insert.addBindValue(QString::fromStdString(*field));
            }
            ok = insert.exec();
        }
        ok = ok && db.commit();
    }
    QSqlDatabase::removeDatabase("bench_audit");
    return ok;
}

void BenchVerify() {
    const std::string path = "trail.db";
    if (!MakeTrail(path)) {
        std::fprintf(stderr, "the trail of %d rows could not be made\n", TRAIL);
        return;
    }
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        QProcess tool;
        const auto start = Clock::now();
        tool.start(QStringLiteral(SURGE_AUDIT_PATH),
                   {QStringLiteral("verify"), QString::fromStdString(path)});
        const bool ended = tool.waitForFinished(60000);
        times.push_back(MsSince(start));
        if (!ended || tool.exitCode() != 0) {
            std::fprintf(stderr, "surge-audit verify: %s\n", tool.readAll().constData());
            return;
        }
    }
    ReportFigure("surge-audit verify, 100,000 rows", Median(times), "ms", "target time", 2000.0,
                 1.0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setenv("SURGE_STATION", "LINE1-SURGE", 1);
    const fs::path dir =
        fs::temp_directory_path() / ("surge-audit-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    BenchAuditRow();
    BenchVerify();
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return 0;
}
