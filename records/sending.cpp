#include "records/sending.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <map>
#include <set>
#include <vector>

#include "records/columns.h"
#include "records/record_fields.h"

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

// The place of `name` among the stored columns.
std::size_t StoredIndex(const char* name) {
    std::size_t index = 0;
    for (const Column& column : InspectionColumns()) {
        if (column.value == nullptr) {
            continue;
        }
        if (QLatin1String(column.name) == QLatin1String(name)) {
            return index;
        }
        ++index;
    }
    return index;
}

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
    const std::size_t station = StoredIndex("station");
    const std::size_t uuid = StoredIndex("uuid");
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

// Inserts the rows the server lacks in one transaction, each under a savepoint of its own.
bool Insert(QSqlDatabase& server, const std::vector<Queued>& rows, const std::set<QString>& held,
            const std::atomic<bool>& stopping, std::vector<Refusal>* refused) {
    const std::size_t station = StoredIndex("station");
    const std::size_t uuid = StoredIndex("uuid");
    if (!server.transaction()) {
        return false;
    }
    QSqlQuery insert(server);
    QSqlQuery savepoint(server);
    QString marks = QStringLiteral("?");
    for (int i = 1; i < StoredColumnCount(); ++i) {
        marks += QStringLiteral(", ?");
    }
    const auto fail = [&server] {
        server.rollback();
        return false;
    };
    if (!insert.prepare(QStringLiteral("INSERT INTO inspection (%1) VALUES (%2) ON CONFLICT "
                                       "(station, uuid) DO NOTHING")
                            .arg(StoredColumnList(), marks))) {
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
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            insert.bindValue(static_cast<int>(i), row.values[i]);
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

// Takes the batch out of `queue` locally, and keeps the refused in `refused`.
void Settle(QSqlDatabase& local, const char* queue, const std::vector<Queued>& rows,
            const std::vector<Refusal>& refused) {
    if (!local.transaction()) {
        return;
    }
    QSqlQuery done(local);
    done.prepare(QStringLiteral("DELETE FROM %1 WHERE record = ?").arg(QLatin1String(queue)));
    bool ok = true;
    for (const Queued& row : rows) {
        done.bindValue(0, row.record);
        ok = ok && done.exec();
    }
    QSqlQuery aside(local);
    aside.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO refused (record, refused_at, message) VALUES (?, ?, ?)"));
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

}  // namespace

Sent SendQueued(QSqlDatabase& local, QSqlDatabase& server, const char* queue, int batch,
                const std::atomic<bool>& stopping) {
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
    if (!OnServer(server, rows, &held) || !Insert(server, rows, held, stopping, &refused)) {
        result.failed = true;
        return result;
    }
    Settle(local, queue, rows, refused);
    result.sent = static_cast<int>(rows.size() - refused.size());
    result.refused = static_cast<int>(refused.size());
    if (!refused.empty()) {
        result.message = refused.back().message;
    }
    return result;
}

}  // namespace records
