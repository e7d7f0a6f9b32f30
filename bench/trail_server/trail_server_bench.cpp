// surge-audit verify --server of a station's file of 100,000 audit rows and 1,000,000 records in
// their chain (each with both waves) against a witness server that holds them all: the median of
// three runs against its target time. The file is written by the station's own database code; the
// server gets the same rows through plain INSERTs as its DBA (its arrival checks turned off for
// the copy), so the digests the server computes in the check are its own.
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/report.h"
#include "records/columns.h"
#include "records/database.h"
#include "records/record_fields.h"
#include "records/schema.h"
#include "tests/history/server/pg_server.h"
#include "tests/support/sample_inspection.h"
#include "trail/audit_row.h"
#include "trail/digest.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int ROWS = 100000;
constexpr int RECORDS = 1000000;
constexpr int BATCH = 2000;
constexpr const char* STATION = "LINE1-SURGE";

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Run(QSqlQuery& query, const QString& sql) {
    if (!query.exec(sql)) {
        std::fprintf(stderr, "%s\n", query.lastError().text().toUtf8().constData());
        return false;
    }
    return true;
}

// The file: RECORDS records through the station's own writer, ROWS audit rows chained.
bool MakeFile(const QString& path) {
    records::Database db(QStringLiteral("bench_file"));
    if (db.Open(path) != records::DbStatus::Ok) {
        return false;
    }
    const auto start = std::chrono::system_clock::now() - std::chrono::hours(24 * 365);
    for (int first = 0; first < RECORDS; first += BATCH) {
        std::vector<records::InspectionRow> rows;
        for (int n = first; n < first + BATCH; ++n) {
            const auto at = start + std::chrono::seconds(30) * n;
            Inspection inspection =
                SampleInspection(n % 50, at, SampleSetup("03", 4.5, 5, 10, 8), n % 9, n % 7,
                                 n % 13 ? Outcome::OK : Outcome::NG);
            inspection.serial = "SN-" + std::to_string(n);
            rows.push_back({inspection, records::NewUuid(at), STATION, "1.0.0 (bench)"});
        }
        if (db.Insert(rows) != records::DbStatus::Ok) {
            return false;
        }
    }
    return db.Read([](QSqlDatabase& file) {
        QSqlQuery query(file);
        bool ok = file.transaction() && Run(query, "DELETE FROM outbox");
        query.prepare(QStringLiteral("INSERT INTO audit (%1) VALUES (?, ?, ?, ?, ?, ?, ?, "
                                     "?, ?, ?, ?, ?, ?, ?)")
                          .arg(QString::fromStdString(records::AuditRowColumns())));
        std::string prev = trail::GENESIS;
        for (int n = 1; ok && n <= ROWS; ++n) {
            trail::AuditRow row;
            row.seq = n;
            row.at = "2026-01-01T08:00:00.000+09:00";
            row.station = STATION;
            row.user = "-";
            row.role = "-";
            row.action = trail::AUDIT_MASTER_SAVED;
            row.object = "M-" + std::to_string(n % 100);
            row.after = row.object + " 4.5 5 10 7 7 0";
            row.software_version = "1.0.0 (bench)";
            row.prev_hash = prev;
            prev = row.hash = trail::Sha256Hex(trail::CanonicalText(row));
            query.addBindValue(row.seq);
            for (const std::string* field :
                 {&row.at, &row.station, &row.user, &row.role, &row.action, &row.object,
                  &row.before, &row.after, &row.reason, &row.prev_hash, &row.hash,
                  &row.software_version, &row.code}) {
                query.addBindValue(QString::fromStdString(*field));
            }
            ok = query.exec();
        }
        return ok && file.commit() ? records::DbStatus::Ok : records::DbStatus::Failed;
    }) == records::DbStatus::Ok;
}

QString Literal(const QVariant& value) {
    if (value.isNull()) {
        return QStringLiteral("NULL");
    }
    if (value.typeId() == QMetaType::QByteArray) {
        return "'\\x" + QString::fromLatin1(value.toByteArray().toHex()) + "'::bytea";
    }
    if (value.typeId() == QMetaType::QString) {
        return "'" + value.toString().replace('\'', "''") + "'";
    }
    return value.toString();
}

// Copies `table`'s rows of the file to the server, BATCH at a time, as multi-row INSERTs.
bool CopyTable(QSqlDatabase& file, QSqlDatabase& server, const QString& columns,
               const QString& from, const QString& into) {
    QSqlQuery read(file);
    read.setForwardOnly(true);
    if (!Run(read, "SELECT " + columns + " FROM " + from)) {
        return false;
    }
    QSqlQuery write(server);
    const int count = static_cast<int>(columns.count(',')) + 1;
    QString values;
    int rows = 0;
    bool ok = true;
    while (ok && read.next()) {
        QString row;
        for (int i = 0; i < count; ++i) {
            row += (i == 0 ? "(" : ", ") + Literal(read.value(i));
        }
        values += (values.isEmpty() ? "" : ", ") + row + ")";
        if (++rows % BATCH == 0) {
            ok = Run(write, "INSERT INTO " + into + " (" + columns + ") VALUES " + values);
            values.clear();
        }
    }
    return ok && (values.isEmpty() ||
                  Run(write, "INSERT INTO " + into + " (" + columns + ") VALUES " + values));
}

bool FillServer(const PgServer& server, const QString& path) {
    bool ok = false;
    {
        QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "bench_read");
        file.setDatabaseName(path);
        QSqlDatabase pg = QSqlDatabase::addDatabase("QPSQL", "bench_server");
        pg.setHostName("127.0.0.1");
        pg.setPort(server.Port());
        pg.setDatabaseName(PgServer::DATABASE);
        pg.setUserName(PgServer::USER);
        pg.setPassword(PgServer::PASSWORD);
        QSqlQuery query(pg);
        const QString audit = QString::fromStdString(records::AuditRowColumns());
        ok =
            file.open() && pg.open() && Run(query, "ALTER TABLE inspection DISABLE TRIGGER USER") &&
            Run(query, "ALTER TABLE audit DISABLE TRIGGER USER") &&
            Run(query, "ALTER TABLE audit_head DISABLE TRIGGER USER") &&
            CopyTable(file, pg, records::StoredColumnList(), "inspection", "inspection") &&
            CopyTable(file, pg, audit, "audit", "audit") &&
            Run(query, QStringLiteral("INSERT INTO audit_head SELECT station, seq, hash FROM audit "
                                      "ORDER BY seq DESC LIMIT 1")) &&
            Run(query, QStringLiteral("INSERT INTO record_head SELECT station, MAX(seq), "
                                      "(array_agg(hash ORDER BY seq DESC))[1], MIN(started_at) "
                                      "FROM inspection GROUP BY station")) &&
            Run(query, "ALTER TABLE inspection ENABLE TRIGGER USER") &&
            Run(query, "ALTER TABLE audit ENABLE TRIGGER USER") &&
            Run(query, "ALTER TABLE audit_head ENABLE TRIGGER USER") &&
            Run(query, "VACUUM ANALYZE");
    }
    QSqlDatabase::removeDatabase("bench_read");
    QSqlDatabase::removeDatabase("bench_server");
    return ok;
}

// The plant's DBA sets the server up; the station's login is "line1".
bool SetUpServer(const PgServer& server) {
    server.Value("CREATE ROLE line1 LOGIN PASSWORD 'pw-line1'", "postgres");
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SURGE_HISTORY_DB", QString::fromStdString(server.Setting()));
    environment.insert("SURGE_HISTORY_PASSWORD", PgServer::PASSWORD);
    tool.setProcessEnvironment(environment);
    tool.start(SURGE_AUDIT_PATH, {"setup-server", "--station", QString(STATION) + "=line1"});
    return tool.waitForFinished(60000) && tool.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setenv("SURGE_STATION", STATION, 1);
    const fs::path dir =
        fs::temp_directory_path() / ("surge-trail-server-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    PgServer server;
    const QString path = QStringLiteral("inspection_history.db");
    const auto made = Clock::now();
    const bool file_made = server.WhyNot().empty() && SetUpServer(server) && MakeFile(path);
    std::fprintf(stderr, "file made in %.0f s\n", MsSince(made) / 1000);
    if (!file_made || !FillServer(server, path)) {
        std::fprintf(stderr, "bench_trail_server: the file and the server could not be made %s\n",
                     server.WhyNot().c_str());
        return 1;
    }
    std::fprintf(stderr, "made in %.0f s\n", MsSince(made) / 1000);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SURGE_HISTORY_DB",
                       QString::fromStdString(server.Setting(PgServer::DATABASE, "line1")));
    environment.insert("SURGE_HISTORY_PASSWORD", "pw-line1");
    if (std::getenv("SURGE_BENCH_KEEP") != nullptr) {
        // For a look with other tools: the folder and the server stay up until killed.
        std::fprintf(stderr, "kept: %s, port %d\n", dir.c_str(), server.Port());
        pause();
    }
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.setProcessChannelMode(QProcess::MergedChannels);
        const auto start = Clock::now();
        tool.start(SURGE_AUDIT_PATH, {"verify", "--server"});
        const bool ended = tool.waitForFinished(300000);
        times.push_back(MsSince(start));
        const QByteArray said = tool.readAll();
        if (!ended || tool.exitCode() != 0) {
            std::fprintf(stderr, "surge-audit verify --server: %s\n", said.constData());
            return 1;
        }
        std::fprintf(stderr, "%.0f ms: %s", times.back(), said.constData());
    }
    std::sort(times.begin(), times.end());
    ReportFigure("surge-audit verify --server, 100,000 rows and 1,000,000 records", times[1], "ms",
                 "target time", 10000.0, 1.0);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return 0;
}
