#include "history/report_query.h"

#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

#include "history/counts.h"
#include "history/filter_sql.h"
#include "trail/audit_row.h"

namespace history {

namespace {

// A table (or view) of the reader's history with `column`; false for an older history's.
bool Holds(const Reader& reader, const QString& table, const QString& column) {
    QSqlQuery query(ReaderDatabase(reader));
    return query.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(table)) &&
           query.record().indexOf(column) >= 0;
}

std::string Text(const QSqlQuery& query, int column) {
    return query.value(column).toString().toStdString();
}

}  // namespace

bool HoldsUnitColumns(const Reader& reader) {
    return Holds(reader, QStringLiteral("inspection"), QStringLiteral("attempt")) &&
           Holds(reader, QStringLiteral("inspection"), QStringLiteral("reference"));
}

bool ReadGateEvents(const Reader& reader, const Filter& filter, std::vector<GateEvent>* events) {
    events->clear();
    FilterSql where;
    if (!FilterWhere(reader, filter, &where)) {
        return false;
    }
    if (!Holds(reader, QStringLiteral("audit"), QStringLiteral("station"))) {
        return true;
    }
    QString sql = QStringLiteral(
        "SELECT at, station, user_name, action, object, before_value, after_value, reason FROM"
        " audit WHERE at >= ? AND at < ? AND action IN (?, ?, ?)");
    QVariantList values = {where.from, where.to, QString::fromLatin1(trail::AUDIT_LINE_STOPPED),
                           QString::fromLatin1(trail::AUDIT_LINE_STOP_ACKNOWLEDGED),
                           QString::fromLatin1(trail::AUDIT_GATE_OVERRIDDEN)};
    if (!filter.station.empty()) {
        sql += QStringLiteral(" AND station = ?");
        values << QString::fromStdString(filter.station);
    }
    if (!filter.master.empty()) {
        // The master's stops and reference check, and the retests of the units it tested.
        const QString master = QString::fromStdString(filter.master);
        sql += QStringLiteral(
                   " AND (object IN (?, ?) OR (object LIKE 'retest %' AND substr(object, 8) IN"
                   " (SELECT serial FROM inspection WHERE %1)))")
                   .arg(where.sql);
        values << master << QStringLiteral("reference ") + master;
        values += where.values;
    }
    QSqlQuery query(ReaderDatabase(reader));
    if (!PrepareRead(&query, sql + QStringLiteral(" ORDER BY at, station, seq"), values) ||
        !query.exec()) {
        return false;
    }
    while (query.next()) {
        // A stop's rule is its row's after, an acknowledgement's and an override's the before.
        const std::string action = Text(query, 3);
        const bool stopped = action == trail::AUDIT_LINE_STOPPED;
        events->push_back({Text(query, 0), Text(query, 1), Text(query, 2),
                           stopped ? GateEvent::Kind::LINE_STOPPED
                           : action == trail::AUDIT_LINE_STOP_ACKNOWLEDGED
                               ? GateEvent::Kind::ACKNOWLEDGED
                               : GateEvent::Kind::OVERRIDDEN,
                           Text(query, 4), Text(query, stopped ? 6 : 5), Text(query, 7)});
    }
    return query.lastError().type() == QSqlError::NoError;
}

bool ReadReferenceChecks(const Reader& reader, const Filter& filter,
                         std::vector<ReferenceRecord>* tests) {
    tests->clear();
    FilterSql where;
    if (!FilterWhere(reader, filter, &where)) {
        return false;
    }
    if (!Holds(reader, QStringLiteral("inspection"), QStringLiteral("reference"))) {
        return true;
    }
    QSqlQuery query(ReaderDatabase(reader));
    if (!PrepareRead(&query,
                     QStringLiteral("SELECT started_at, master, serial, outcome FROM inspection"
                                    " WHERE %1 AND reference = 1 AND %2 ORDER BY started_at, id")
                         .arg(where.sql, TestCondition()),
                     where.values) ||
        !query.exec()) {
        return false;
    }
    while (query.next()) {
        tests->push_back({Text(query, 0), Text(query, 1), Text(query, 2), Text(query, 3)});
    }
    return query.lastError().type() == QSqlError::NoError;
}

}  // namespace history
