#include "access/trail_check.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <optional>
#include <set>

#include "access/digest.h"
#include "records/record_fields.h"
#include "records/schema.h"
#include "records/server_config.h"
#include "records/server_link.h"

namespace access_control {

namespace {

const QString FILE_CONNECTION = QStringLiteral("surge_trail_check");
const QString SERVER_CONNECTION = QStringLiteral("surge_trail_check_server");

// A row as `query` selects it, its columns in the order of AuditRowColumns.
AuditRow RowOf(const QSqlQuery& query) {
    AuditRow row;
    row.seq = query.value(0).toLongLong();
    std::string* fields[] = {&row.at,     &row.station,   &row.user,   &row.role,
                             &row.action, &row.object,    &row.before, &row.after,
                             &row.reason, &row.prev_hash, &row.hash,   &row.software_version};
    for (int i = 0; i < records::AUDIT_ROW_COLUMN_COUNT - 1; ++i) {
        *fields[i] = query.value(i + 1).toString().toStdString();
    }
    return row;
}

// Runs `select` ("SELECT %1 FROM audit ...", bound with `station` where it is not null) for the
// rows' columns; a file or server not yet upgraded has no software version, read as empty.
bool SelectRows(QSqlQuery& query, const QString& select, const QString& station) {
    const QString columns[] = {
        QString::fromStdString(records::AuditRowColumns()),
        QStringLiteral("%1, '' AS %2")
            .arg(QLatin1String(records::AUDIT_COLUMNS),
                 QLatin1String(records::AUDIT_VERSION_COLUMN)),
    };
    for (const QString& list : columns) {
        if (query.prepare(select.arg(list))) {
            if (!station.isNull()) {
                query.addBindValue(station);
            }
            if (query.exec()) {
                return true;
            }
        }
    }
    return false;
}

bool ReadRows(QSqlQuery& query, std::vector<AuditRow>* rows) {
    while (query.next()) {
        rows->push_back(RowOf(query));
    }
    return query.lastError().type() == QSqlError::NoError;
}

std::vector<std::string> Computed(const std::vector<AuditRow>& rows) {
    std::vector<std::string> hashes;
    hashes.reserve(rows.size());
    for (const AuditRow& row : rows) {
        hashes.push_back(Sha256Hex(CanonicalText(row)));
    }
    return hashes;
}

std::string Text(const QSqlError& error) {
    const QString text = error.databaseText().trimmed();
    return (text.isEmpty() ? error.text() : text).toStdString();
}

// The file's rows, and the seqs of those no server has acknowledged (queued or set aside).
bool ReadFile(const std::string& path, std::vector<AuditRow>* rows, std::set<long long>* queued,
              std::string* error) {
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        *error = "cannot read the file " + path + ": there is no such file";
        return false;
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FILE_CONNECTION);
        db.setDatabaseName(QString::fromStdString(path));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            *error = "cannot read the file " + path + ": " + Text(db.lastError());
        } else {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            ok =
                SelectRows(query, QStringLiteral("SELECT %1 FROM audit ORDER BY seq"), QString()) &&
                ReadRows(query, rows);
            if (!ok) {
                *error = "cannot read the audit trail of the file " + path + ": " +
                         Text(query.lastError());
            }
            // A file of an earlier build has no audit_refused.
            for (const char* table : {"audit_outbox", "audit_refused"}) {
                if (ok && query.exec(QStringLiteral("SELECT seq FROM %1").arg(table))) {
                    while (query.next()) {
                        queued->insert(query.value(0).toLongLong());
                    }
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(FILE_CONNECTION);
    return ok;
}

// This station's rows on the server and its head there.
bool ReadServer(const records::ServerConfig& server, const QString& station,
                std::vector<AuditRow>* rows, std::optional<ChainHead>* head, std::string* error) {
    QString reason;
    bool ok = records::ConnectToRead(server, SERVER_CONNECTION, &reason) == records::Link::Ok;
    if (!ok) {
        *error = "cannot read the server " + server.Where().toStdString() + ": " +
                 (reason.isEmpty() ? std::string("no answer") : reason.toStdString());
    } else {
        QSqlQuery query(QSqlDatabase::database(SERVER_CONNECTION, false));
        query.setForwardOnly(true);
        ok =
            SelectRows(query, QStringLiteral("SELECT %1 FROM audit WHERE station = ? ORDER BY seq"),
                       station) &&
            ReadRows(query, rows);
        ok = ok &&
             query.prepare(QStringLiteral("SELECT seq, hash FROM audit_head WHERE station = ?"));
        query.addBindValue(station);
        ok = ok && query.exec();
        if (ok && query.next()) {
            *head = ChainHead{query.value(0).toLongLong(), query.value(1).toString().toStdString()};
        }
        if (!ok) {
            *error = "cannot read the audit trail on the server " + server.Where().toStdString() +
                     ": " + Text(query.lastError());
        }
    }
    records::Drop(SERVER_CONNECTION);
    return ok;
}

std::string Head(const std::vector<AuditRow>& rows) {
    return rows.empty() ? "no row yet"
                        : "head seq " + std::to_string(rows.back().seq) + " " + rows.back().hash;
}

// The file's own chain: nothing when it holds, else the first row that does not.
std::optional<TrailCheck> FileBreak(const std::string& path, const std::vector<AuditRow>& rows) {
    const std::optional<ChainBreak> broken = FirstBreak(rows, Computed(rows));
    if (!broken) {
        return std::nullopt;
    }
    const AuditRow& row = rows[broken->index];
    return TrailCheck{TrailVerdict::BROKEN, path + ": seq " + std::to_string(row.seq) + " (" +
                                                row.at + ", " + row.action + ", " + row.object +
                                                ") does not hold: " + broken->why};
}

}  // namespace

bool ReadTrail(const std::string& path, std::vector<AuditRow>* rows, std::string* error) {
    std::set<long long> queued;
    return ReadFile(path, rows, &queued, error);
}

TrailCheck CheckTrail(const std::string& path) {
    std::vector<AuditRow> rows;
    std::string error;
    if (!ReadTrail(path, &rows, &error)) {
        return {TrailVerdict::UNREADABLE, error};
    }
    if (std::optional<TrailCheck> broken = FileBreak(path, rows)) {
        return *broken;
    }
    return {TrailVerdict::HOLDS,
            path + ": the chain holds: " + std::to_string(rows.size()) + " rows, " + Head(rows)};
}

TrailCheck CheckTrailWithServer(const std::string& path) {
    std::vector<AuditRow> rows;
    std::set<long long> queued;
    std::string error;
    if (!ReadFile(path, &rows, &queued, &error)) {
        return {TrailVerdict::UNREADABLE, error};
    }
    if (std::optional<TrailCheck> broken = FileBreak(path, rows)) {
        return *broken;
    }
    QString setting_error;
    const std::optional<records::ServerConfig> server = records::ReadServerConfig(&setting_error);
    if (!server) {
        return {TrailVerdict::UNREADABLE,
                setting_error.isEmpty()
                    ? std::string("no server to read: SURGE_HISTORY_DB is not set")
                    : "cannot use SURGE_HISTORY_DB: " + setting_error.toStdString()};
    }
    const QString station = records::StationName();
    std::vector<AuditRow> on_server;
    std::optional<ChainHead> head;
    if (!ReadServer(*server, station, &on_server, &head, &error)) {
        return {TrailVerdict::UNREADABLE, error};
    }
    const std::string where =
        server->Where().toStdString() + " (station " + station.toStdString() + ")";
    if (const std::optional<std::string> broken =
            ServerCopyBreak(rows, on_server, Computed(on_server), head, queued)) {
        return {TrailVerdict::BROKEN, path + " against " + where + ": " + *broken};
    }
    return {TrailVerdict::HOLDS,
            path + ": the chain holds: " + std::to_string(rows.size()) + " rows, " + Head(rows) +
                "; " + where + " holds " + std::to_string(on_server.size()) + " of them, " +
                (head ? "head seq " + std::to_string(head->seq) : std::string("no head yet"))};
}

}  // namespace access_control
