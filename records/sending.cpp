#include "records/sending.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "records/columns.h"
#include "records/record_fields.h"
#include "records/schema.h"

namespace records {

namespace {

struct Queued {
    qlonglong record = 0;
    std::vector<QVariant> values;  // in the order of StoredColumnList
};

struct Refusal {
    qlonglong record = 0;
    QString message;
};

// What the record holds is at fault, not the link: a data exception (a character the server's
// encoding lacks, a value too long) or an integrity constraint (a check of the plant's own).
bool RefusesTheRecord(const QSqlError& error) {
    const QString state = error.nativeErrorCode();
    return state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23"));
}

QString TextArray(const QStringList& items) {
    QStringList quoted;
    for (QString item : items) {
        item.replace(QLatin1String("\\"), QLatin1String("\\\\"));
        item.replace(QLatin1String("\""), QLatin1String("\\\""));
        quoted << QLatin1Char('"') + item + QLatin1Char('"');
    }
    return QLatin1Char('{') + quoted.join(QLatin1Char(',')) + QLatin1Char('}');
}

bool ReadQueued(QSqlDatabase& local, const char* queue, int batch, std::vector<Queued>* rows) {
    QSqlQuery read(local);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT q.record, %1 FROM %2 q JOIN inspection i ON "
                                  "i.id = q.record ORDER BY q.record LIMIT %3")
                       .arg(StoredColumnList(QStringLiteral("i.")), QLatin1String(queue))
                       .arg(batch))) {
        return false;
    }
    const int columns = StoredColumnCount();
    while (read.next()) {
        Queued row;
        row.record = read.value(0).toLongLong();
        for (int i = 1; i <= columns; ++i) {
            row.values.push_back(read.value(i));
        }
        rows->push_back(std::move(row));
    }
    return read.lastError().type() == QSqlError::NoError;
}

// The rows the server holds already, as "station\nuuid".
bool OnServer(QSqlDatabase& server, const std::vector<Queued>& rows, std::set<QString>* held) {
    const auto station = static_cast<std::size_t>(StoredIndex("station"));
    const auto uuid = static_cast<std::size_t>(StoredIndex("uuid"));
    std::map<QString, QStringList> by_station;
    for (const Queued& row : rows) {
        by_station[row.values[station].toString()] << row.values[uuid].toString();
    }
    QSqlQuery query(server);
    if (!query.prepare(QStringLiteral(
            "SELECT uuid FROM inspection WHERE station = ? AND uuid = ANY(CAST(? AS text[]))"))) {
        return false;
    }
    for (const auto& [name, uuids] : by_station) {
        query.bindValue(0, name);
        query.bindValue(1, TextArray(uuids));
        if (!query.exec()) {
            return false;
        }
        while (query.next()) {
            held->insert(name + QLatin1Char('\n') + query.value(0).toString());
        }
    }
    return true;
}

// The places among the stored columns of those a server of `version` has.
std::vector<std::size_t> ServerColumns(int version) {
    std::vector<std::size_t> places;
    std::size_t place = 0;
    for (const Column& column : InspectionColumns()) {
        if (column.value == nullptr) {
            continue;
        }
        if (column.server_since <= version) {
            places.push_back(place);
        }
        ++place;
    }
    return places;
}

// Inserts the rows the server lacks in one transaction, each under a savepoint of its own.
bool Insert(QSqlDatabase& server, int version, const std::vector<Queued>& rows,
            const std::set<QString>& held, const std::atomic<bool>& stopping,
            std::vector<Refusal>* refused) {
    const auto station = static_cast<std::size_t>(StoredIndex("station"));
    const auto uuid = static_cast<std::size_t>(StoredIndex("uuid"));
    if (!server.transaction()) {
        return false;
    }
    QSqlQuery insert(server);
    QSqlQuery savepoint(server);
    const std::vector<std::size_t> columns = ServerColumns(version);
    QString marks = QStringLiteral("?");
    for (std::size_t i = 1; i < columns.size(); ++i) {
        marks += QStringLiteral(", ?");
    }
    const auto fail = [&server] {
        server.rollback();
        return false;
    };
    if (!insert.prepare(QStringLiteral("INSERT INTO inspection (%1) VALUES (%2) ON CONFLICT "
                                       "(station, uuid) DO NOTHING")
                            .arg(StoredColumnList(QString(), version), marks))) {
        return fail();
    }
    for (const Queued& row : rows) {
        if (held.count(row.values[station].toString() + QLatin1Char('\n') +
                       row.values[uuid].toString()) > 0) {
            continue;
        }
        if (stopping || !savepoint.exec(QStringLiteral("SAVEPOINT record"))) {
            return fail();
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            insert.bindValue(static_cast<int>(i), row.values[columns[i]]);
        }
        if (insert.exec()) {
            continue;
        }
        if (!RefusesTheRecord(insert.lastError()) ||
            !savepoint.exec(QStringLiteral("ROLLBACK TO SAVEPOINT record"))) {
            return fail();
        }
        refused->push_back({row.record, insert.lastError().databaseText().trimmed()});
    }
    return server.commit() || fail();
}

// Takes the batch's `keys` (the column `key` of `queue`) out of `queue` locally, and keeps the
// refused in the table `aside`.
void Settle(QSqlDatabase& local, const char* queue, const char* key, const char* aside_table,
            const std::vector<qlonglong>& keys, const std::vector<Refusal>& refused) {
    if (!local.transaction()) {
        return;
    }
    QSqlQuery done(local);
    done.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                     .arg(QLatin1String(queue), QLatin1String(key)));
    bool ok = true;
    for (const qlonglong sent : keys) {
        done.bindValue(0, sent);
        ok = ok && done.exec();
    }
    QSqlQuery aside(local);
    aside.prepare(QStringLiteral("INSERT OR REPLACE INTO %1 (%2, refused_at, message) VALUES "
                                 "(?, ?, ?)")
                      .arg(QLatin1String(aside_table), QLatin1String(key)));
    const QString now = IsoTime(std::chrono::system_clock::now());
    for (const Refusal& refusal : refused) {
        aside.bindValue(0, refusal.record);
        aside.bindValue(1, now);
        aside.bindValue(2, refusal.message);
        ok = ok && aside.exec();
    }
    // Not settled, the batch is sent again, and the server keeps each record once.
    if (!ok || !local.commit()) {
        local.rollback();
    }
}

// An audit row's values in the order of AuditRowColumns.
using AuditValues = std::vector<QVariant>;
constexpr std::size_t AUDIT_SEQ = AuditPlace("seq");
constexpr std::size_t AUDIT_STATION = AuditPlace("station");
constexpr std::size_t AUDIT_HASH = AuditPlace("hash");

constexpr const char* OTHER_ROW = "the server holds another row at seq %1 of station %2";

bool ReadAuditQueued(QSqlDatabase& local, const char* queue, int batch,
                     std::vector<AuditValues>* rows) {
    QSqlQuery read(local);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT %1 FROM audit WHERE seq IN (SELECT seq FROM %2 ORDER BY "
                                  "seq LIMIT %3) ORDER BY seq")
                       .arg(QString::fromStdString(AuditRowColumns()), QLatin1String(queue))
                       .arg(batch))) {
        return false;
    }
    while (read.next()) {
        AuditValues row;
        for (int i = 0; i < AUDIT_ROW_COLUMN_COUNT; ++i) {
            row.push_back(read.value(i));
        }
        rows->push_back(std::move(row));
    }
    return read.lastError().type() == QSqlError::NoError;
}

// Inserts the rows in seq order in one transaction, each under a savepoint of its own, and moves
// each station's head to the newest of its rows the server holds now. The first row the server
// does not take stops the batch: the rows after it wait behind it, so the chain arrives whole.
bool InsertAudit(QSqlDatabase& server, int version, const std::vector<AuditValues>& rows,
                 const std::atomic<bool>& stopping, std::vector<qlonglong>* taken,
                 std::optional<Refusal>* refused) {
    if (!server.transaction()) {
        return false;
    }
    QSqlQuery insert(server);
    QSqlQuery held(server);
    QSqlQuery head(server);
    QSqlQuery savepoint(server);
    const auto fail = [&server] {
        server.rollback();
        return false;
    };
    const int columns = static_cast<int>(AuditServerPlaces(version).size());
    QString marks = QStringLiteral("?");
    for (int i = 1; i < columns; ++i) {
        marks += QStringLiteral(", ?");
    }
    // A witness keeps the heads itself; a station moves them on a server the stations made.
    if (!insert.prepare(QStringLiteral("INSERT INTO audit (%1) VALUES (%2) ON CONFLICT (station, "
                                       "seq) DO NOTHING")
                            .arg(QString::fromStdString(AuditRowColumns(version)), marks)) ||
        !held.prepare(QStringLiteral("SELECT hash FROM audit WHERE station = ? AND seq = ?")) ||
        !head.prepare(QStringLiteral(
            "INSERT INTO audit_head (station, seq, hash) VALUES (?, ?, ?) ON CONFLICT (station) "
            "DO UPDATE SET seq = EXCLUDED.seq, hash = EXCLUDED.hash "
            "WHERE audit_head.seq < EXCLUDED.seq"))) {
        return fail();
    }
    std::map<QString, const AuditValues*> newest;
    for (const AuditValues& row : rows) {
        const qlonglong seq = row[AUDIT_SEQ].toLongLong();
        const QString station = row[AUDIT_STATION].toString();
        if (stopping || !savepoint.exec(QStringLiteral("SAVEPOINT audit_row"))) {
            return fail();
        }
        for (int i = 0; i < columns; ++i) {
            insert.bindValue(i, row[static_cast<std::size_t>(i)]);
        }
        if (!insert.exec()) {
            if (!RefusesTheRecord(insert.lastError()) ||
                !savepoint.exec(QStringLiteral("ROLLBACK TO SAVEPOINT audit_row"))) {
                return fail();
            }
            *refused = Refusal{seq, insert.lastError().databaseText().trimmed()};
            break;
        }
        if (insert.numRowsAffected() == 0) {
            held.bindValue(0, station);
            held.bindValue(1, seq);
            if (!held.exec() || !held.next()) {
                return fail();
            }
            const bool same = held.value(0).toString() == row[AUDIT_HASH].toString();
            held.finish();
            if (!same) {
                *refused = Refusal{seq, QString::fromLatin1(OTHER_ROW).arg(seq).arg(station)};
                break;
            }
        }
        taken->push_back(seq);
        newest[station] = &row;
    }
    for (const auto& [station, row] : newest) {
        head.bindValue(0, station);
        head.bindValue(1, (*row)[AUDIT_SEQ]);
        head.bindValue(2, (*row)[AUDIT_HASH]);
        if (!head.exec()) {
            return fail();
        }
    }
    return server.commit() || fail();
}

}  // namespace

Sent SendQueued(QSqlDatabase& local, QSqlDatabase& server, int version, const char* queue,
                int batch, const std::atomic<bool>& stopping) {
    Sent result;
    std::vector<Queued> rows;
    if (!ReadQueued(local, queue, batch, &rows)) {
        result.failed = true;
        return result;
    }
    if (rows.empty()) {
        return result;
    }
    std::set<QString> held;
    std::vector<Refusal> refused;
    if (!OnServer(server, rows, &held) ||
        !Insert(server, version, rows, held, stopping, &refused)) {
        result.failed = true;
        return result;
    }
    std::vector<qlonglong> keys;
    for (const Queued& row : rows) {
        keys.push_back(row.record);
    }
    Settle(local, queue, "record", "refused", keys, refused);
    result.sent = static_cast<int>(rows.size() - refused.size());
    result.refused = static_cast<int>(refused.size());
    if (!refused.empty()) {
        result.message = refused.back().message;
    }
    return result;
}

Sent SendAuditQueued(QSqlDatabase& local, QSqlDatabase& server, int version, int batch,
                     const std::atomic<bool>& stopping) {
    Sent result;
    std::vector<AuditValues> rows;
    if (!ReadAuditQueued(local, "audit_outbox", batch, &rows)) {
        result.failed = true;
        return result;
    }
    if (rows.empty()) {
        return result;
    }
    std::vector<qlonglong> taken;
    std::optional<Refusal> refused;
    if (!InsertAudit(server, version, rows, stopping, &taken, &refused)) {
        result.failed = true;
        return result;
    }
    Settle(local, "audit_outbox", "seq", "audit_refused", taken, {});
    result.sent = static_cast<int>(taken.size());
    if (refused) {
        result.refused = 1;
        result.refused_at = refused->record;
        result.message = refused->message;
    }
    return result;
}

}  // namespace records
