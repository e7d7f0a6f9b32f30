#include "trail/trail_check.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <chrono>
#include <optional>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

#include "records/audit_columns.h"
#include "records/record_check.h"
#include "records/record_fields.h"
#include "records/schema.h"
#include "records/server_config.h"
#include "records/server_link.h"
#include "trail/digest.h"
#include "trail/server_setup.h"
#include "trail/trail_meaning.h"

namespace trail {

namespace {

const QString FILE_CONNECTION = QStringLiteral("surge_trail_check");
const QString SERVER_CONNECTION = QStringLiteral("surge_trail_check_server");

// Each text field of a row and its column in records/audit_columns.h.
const std::pair<const char*, std::string AuditRow::*> TEXT_FIELDS[] = {
    {"at", &AuditRow::at},
    {"station", &AuditRow::station},
    {"user_name", &AuditRow::user},
    {"role", &AuditRow::role},
    {"action", &AuditRow::action},
    {"object", &AuditRow::object},
    {"before_value", &AuditRow::before},
    {"after_value", &AuditRow::after},
    {"reason", &AuditRow::reason},
    {"prev_hash", &AuditRow::prev_hash},
    {"hash", &AuditRow::hash},
    {records::AUDIT_VERSION_COLUMN, &AuditRow::software_version},
    {records::AUDIT_CODE_COLUMN, &AuditRow::code},
};

int Place(std::string_view column) {
    return static_cast<int>(records::AuditPlace(column));
}

// A row as `query` selects it, its columns in the order of AuditRowColumns.
AuditRow RowOf(const QSqlQuery& query) {
    AuditRow row;
    row.seq = query.value(Place("seq")).toLongLong();
    for (const auto& [column, field] : TEXT_FIELDS) {
        row.*field = query.value(Place(column)).toString().toStdString();
    }
    return row;
}

// Runs `select` ("SELECT %1 FROM audit ...", bound with `station` where it is not null) for the
// rows' columns; a file or server not yet upgraded has no code or no software version, read as
// empty.
bool SelectRows(QSqlQuery& query, const QString& select, const QString& station) {
    const QString columns[] = {
        QString::fromStdString(records::AuditRowColumns()),
        QStringLiteral("%1, %2, '' AS %3")
            .arg(QLatin1String(records::AUDIT_COLUMNS),
                 QLatin1String(records::AUDIT_VERSION_COLUMN),
                 QLatin1String(records::AUDIT_CODE_COLUMN)),
        QStringLiteral("%1, '' AS %2, '' AS %3")
            .arg(QLatin1String(records::AUDIT_COLUMNS),
                 QLatin1String(records::AUDIT_VERSION_COLUMN),
                 QLatin1String(records::AUDIT_CODE_COLUMN)),
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

// What a check reads of the station's file: its trail, the rows no server has acknowledged
// (queued or, in a file of an earlier build, set aside), its records' chain and its name.
struct FileRead {
    std::vector<AuditRow> rows;
    std::set<long long> queued;
    records::FileChain records;
    records::ChainVerdict records_verdict;
    QString station;
};

bool ReadOpenFile(QSqlDatabase& db, const std::string& path, FileRead* read, std::string* error) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!SelectRows(query, QStringLiteral("SELECT %1 FROM audit ORDER BY seq"), QString()) ||
        !ReadRows(query, &read->rows)) {
        *error = "cannot read the audit trail of the file " + path + ": " + Text(query.lastError());
        return false;
    }
    for (const char* table : {"audit_outbox", "audit_refused"}) {
        if (query.exec(QStringLiteral("SELECT seq FROM %1").arg(table))) {
            while (query.next()) {
                read->queued.insert(query.value(0).toLongLong());
            }
        }
    }
    if (query.exec(QStringLiteral("SELECT name FROM station_name LIMIT 1")) && query.next()) {
        read->station = query.value(0).toString();
    }
    return true;
}

bool ReadFile(const std::string& path, bool records, FileRead* read, std::string* error) {
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        *error = "cannot read the file " + path + ": there is no such file";
        return false;
    }
    // The records' chain is checked on a connection and a thread of its own meanwhile.
    std::thread checking;
    if (records) {
        checking = std::thread(
            [&] { read->records_verdict = records::CheckFileRecords(path, &read->records); });
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FILE_CONNECTION);
        db.setDatabaseName(QString::fromStdString(path));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            *error = "cannot read the file " + path + ": " + Text(db.lastError());
        } else {
            ok = ReadOpenFile(db, path, read, error);
        }
    }
    QSqlDatabase::removeDatabase(FILE_CONNECTION);
    if (records) {
        checking.join();
        if (ok && !read->records_verdict.readable) {
            *error = "the file " + path + ": " + read->records_verdict.text;
            ok = false;
        }
    }
    return ok;
}

// What a check reads of the station on the server: its chain, whether the server is a witness,
// and its records checked against the file's.
struct ServerRead {
    ServerTrail trail;
    std::string no_witness;
    records::ServerRecords records;
    bool ok = false;
    std::string error;
};

bool ReadServerRows(QSqlQuery& query, const QString& station, ServerTrail* trail) {
    const QString received = QStringLiteral(
        ", COALESCE((EXTRACT(EPOCH FROM received_at) * 1000)::bigint, -1) FROM audit");
    const bool stamped = SelectRows(query,
                                    QStringLiteral("SELECT %1") + received +
                                        QStringLiteral(" WHERE station = ? "
                                                       "ORDER BY seq"),
                                    station);
    if (!stamped && !SelectRows(query,
                                QStringLiteral("SELECT %1 FROM audit WHERE station = ? ORDER BY "
                                               "seq"),
                                station)) {
        return false;
    }
    while (query.next()) {
        trail->rows.push_back(RowOf(query));
        trail->received_ms.push_back(
            stamped ? query.value(records::AUDIT_ROW_COLUMN_COUNT).toLongLong() : -1);
    }
    return query.lastError().type() == QSqlError::NoError;
}

// Reads the station on the server, on a connection of the calling thread's own.
void ReadServer(const records::ServerConfig& server, const QString& station, ServerRead* read) {
    QString reason;
    read->ok = records::ConnectToRead(server, SERVER_CONNECTION, &reason) == records::Link::Ok;
    if (!read->ok) {
        read->error = "cannot read the server " + server.Where().toStdString() + ": " +
                      (reason.isEmpty() ? std::string("no answer") : reason.toStdString());
    } else {
        QSqlDatabase db = QSqlDatabase::database(SERVER_CONNECTION, false);
        QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = 0"));
        std::string why;
        read->ok = ReadServerTrail(SERVER_CONNECTION.toStdString(), station.toStdString(),
                                   &read->trail, &why);
        if (!read->ok) {
            read->error = "cannot read the audit trail on the server " +
                          server.Where().toStdString() + ": " + why;
        } else {
            read->no_witness = WhyNoWitness(SERVER_CONNECTION.toStdString(), station.toStdString());
            if (read->no_witness.empty()) {
                read->records = records::ReadServerRecords(db, station);
                read->ok = read->records.verdict.readable;
                read->error = "the server " + server.Where().toStdString() + ": " +
                              read->records.verdict.text;
            }
        }
    }
    records::Drop(SERVER_CONNECTION);
}

// The name the file keeps, where it keeps one.
QString FileStationName(const std::string& path) {
    const QString connection = QStringLiteral("surge_trail_check_name");
    QString name;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QString::fromStdString(path));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("SELECT name FROM station_name LIMIT 1")) &&
            query.next()) {
            name = query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return name;
}

std::string Head(const std::vector<AuditRow>& rows) {
    return rows.empty() ? "no row yet"
                        : "head seq " + std::to_string(rows.back().seq) + " " + rows.back().hash;
}

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Described(const std::string& where, const AuditRow& row, const std::string& why) {
    return where + "seq " + std::to_string(row.seq) + " (" + row.at + ", " + row.action + ", " +
           row.object + ") does not hold: " + why;
}

// The file's own chain and what its rows say: nothing when they hold, else the first row that
// does not. What holds but is reported (a clock set back) goes to `notes`.
std::optional<TrailCheck> FileBreak(const std::string& path, const FileRead& file,
                                    std::vector<std::string>* notes) {
    const std::vector<AuditRow>& rows = file.rows;
    if (const std::optional<ChainBreak> broken = FirstBreak(rows, Computed(rows))) {
        return TrailCheck{TrailVerdict::BROKEN,
                          Described(path + ": ", rows[broken->index], broken->why)};
    }
    const MeaningCheck meaning = CheckMeaning(rows, NowMs());
    if (meaning.broken) {
        return TrailCheck{TrailVerdict::BROKEN,
                          Described(path + ": ", rows[meaning.broken->index], meaning.broken->why)};
    }
    notes->insert(notes->end(), meaning.notes.begin(), meaning.notes.end());
    if (file.records_verdict.broken) {
        return TrailCheck{TrailVerdict::BROKEN, path + ": " + *file.records_verdict.broken};
    }
    return std::nullopt;
}

std::string Notes(const std::vector<std::string>& notes) {
    std::string text;
    for (const std::string& note : notes) {
        text += "\nnote: " + note;
    }
    return text;
}

}  // namespace

bool ReadServerTrail(const std::string& connection, const std::string& station, ServerTrail* trail,
                     std::string* error) {
    QSqlQuery query(QSqlDatabase::database(QString::fromStdString(connection), false));
    query.setForwardOnly(true);
    const QString name = QString::fromStdString(station);
    bool ok = ReadServerRows(query, name, trail) &&
              query.prepare(QStringLiteral("SELECT seq, hash FROM audit_head WHERE station = ?"));
    query.addBindValue(name);
    ok = ok && query.exec();
    if (ok && query.next()) {
        trail->head =
            ChainHead{query.value(0).toLongLong(), query.value(1).toString().toStdString()};
    }
    if (!ok) {
        *error = Text(query.lastError());
    }
    return ok;
}

bool ReadTrail(const std::string& path, std::vector<AuditRow>* rows, std::string* error) {
    FileRead read;
    const bool ok = ReadFile(path, false, &read, error);
    *rows = std::move(read.rows);
    return ok;
}

TrailCheck CheckTrail(const std::string& path) {
    FileRead file;
    std::string error;
    if (!ReadFile(path, true, &file, &error)) {
        return {TrailVerdict::UNREADABLE, error};
    }
    std::vector<std::string> notes;
    if (std::optional<TrailCheck> broken = FileBreak(path, file, &notes)) {
        return *broken;
    }
    return {TrailVerdict::HOLDS, path + ": the chain holds: " + std::to_string(file.rows.size()) +
                                     " rows, " + Head(file.rows) + "; " +
                                     file.records_verdict.text + Notes(notes)};
}

TrailCheck CheckTrailWithServer(const std::string& path) {
    const QString kept = FileStationName(path);
    const QString asked = qEnvironmentVariable("SURGE_STATION");
    if (!kept.isEmpty() && !asked.isEmpty() && asked != kept) {
        return {TrailVerdict::UNREADABLE, "SURGE_STATION=" + asked.toStdString() + ", but " + path +
                                              " belongs to station " + kept.toStdString()};
    }
    QString setting_error;
    const std::optional<records::ServerConfig> server = records::ReadServerConfig(&setting_error);
    if (!server) {
        return {TrailVerdict::UNREADABLE,
                setting_error.isEmpty()
                    ? std::string("no server to read: SURGE_HISTORY_DB is not set")
                    : "cannot use SURGE_HISTORY_DB: " + setting_error.toStdString()};
    }
    // The server checks its copy while the file is read and checked here.
    const QString station = kept.isEmpty() ? records::StationName() : kept;
    ServerRead read;
    std::thread reading([&] { ReadServer(*server, station, &read); });
    FileRead file;
    std::string error;
    const bool file_read = ReadFile(path, true, &file, &error);
    reading.join();
    if (!file_read) {
        return {TrailVerdict::UNREADABLE, error};
    }
    std::vector<std::string> notes;
    if (std::optional<TrailCheck> broken = FileBreak(path, file, &notes)) {
        return *broken;
    }
    if (!read.ok) {
        return {TrailVerdict::UNREADABLE, read.error};
    }
    const std::string where = path + " against " + server->Where().toStdString() + " (station " +
                              station.toStdString() + "): ";
    if (!read.no_witness.empty()) {
        return {TrailVerdict::BROKEN, where + "the server is no witness: " + read.no_witness};
    }
    if (const std::optional<std::string> broken = ServerCopyBreak(
            file.rows, read.trail.rows, Computed(read.trail.rows), read.trail.head, file.queued)) {
        return {TrailVerdict::BROKEN, where + *broken};
    }
    const MeaningCheck meaning = CheckMeaning(read.trail.rows, NowMs(), read.trail.received_ms);
    if (meaning.broken) {
        return {TrailVerdict::BROKEN,
                Described(where + "the server's ", read.trail.rows[meaning.broken->index],
                          meaning.broken->why)};
    }
    const records::ChainVerdict records = records::CompareRecords(read.records, file.records);
    if (records.broken) {
        return {TrailVerdict::BROKEN, where + *records.broken};
    }
    return {TrailVerdict::HOLDS,
            path + ": the chain holds: " + std::to_string(file.rows.size()) + " rows, " +
                Head(file.rows) + "; " + file.records_verdict.text + "; " +
                server->Where().toStdString() + " (station " + station.toStdString() + ") holds " +
                std::to_string(read.trail.rows.size()) + " of the rows, " +
                (read.trail.head ? "head seq " + std::to_string(read.trail.head->seq)
                                 : std::string("no head yet")) +
                ", and " + records.text + Notes(notes)};
}

TrailCheck CheckServerCopy(const std::string& connection, const std::string& station) {
    ServerTrail trail;
    std::string error;
    if (!ReadServerTrail(connection, station, &trail, &error)) {
        return {TrailVerdict::UNREADABLE, "cannot read the audit trail on the server: " + error};
    }
    if (const std::string no_witness = WhyNoWitness(connection, station); !no_witness.empty()) {
        return {TrailVerdict::BROKEN, "the server is no witness: " + no_witness};
    }
    const std::vector<AuditRow>& rows = trail.rows;
    if (const std::optional<ChainBreak> broken =
            ServerChainBreak(rows, Computed(rows), trail.head)) {
        return {TrailVerdict::BROKEN, broken->why, rows.empty() ? 0 : rows[broken->index].seq};
    }
    const MeaningCheck meaning = CheckMeaning(rows, NowMs(), trail.received_ms);
    if (meaning.broken) {
        const AuditRow& row = rows[meaning.broken->index];
        return {TrailVerdict::BROKEN, Described("the server's ", row, meaning.broken->why),
                row.seq};
    }
    return {TrailVerdict::HOLDS, "the chain holds: " + std::to_string(rows.size()) + " rows, " +
                                     Head(rows) + Notes(meaning.notes)};
}

}  // namespace trail
