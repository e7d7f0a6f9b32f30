#include "trail/retention.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <vector>

#include "records/schema.h"

namespace trail {

namespace {

// The partitions of months before the one `months` - 1 before this one, oldest first.
constexpr const char* OLD_PARTITIONS =
    "SELECT c.relname, replace(substr(c.relname, 12), '_', '-') AS month, b.boundary FROM "
    "pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid, (SELECT to_char(date_trunc('month', "
    "now()) - make_interval(months => ? - 1), 'YYYY-MM') AS boundary) b WHERE i.inhparent = "
    "to_regclass('inspection') AND c.relname ~ '^inspection_[0-9]{4}_[0-9]{2}$' AND "
    "replace(substr(c.relname, 12), '_', '-') < b.boundary ORDER BY 1";

struct Partition {
    QString name;
    QString month;
};

// Records what `partition` holds of each station, then detaches it.
bool Detach(QSqlQuery& query, const Partition& partition, qlonglong* records) {
    const QString name = QStringLiteral("\"%1\"").arg(partition.name);
    query.prepare(QStringLiteral("INSERT INTO record_detached SELECT ?, ?, station, COUNT(*), "
                                 "MAX(seq), now(), session_user FROM %1 GROUP BY station")
                      .arg(name));
    query.addBindValue(partition.name);
    query.addBindValue(partition.month);
    if (!query.exec()) {
        return false;
    }
    if (query.numRowsAffected() == 0) {
        query.prepare(
            QStringLiteral("INSERT INTO record_detached VALUES (?, ?, NULL, 0, NULL, "
                           "now(), session_user)"));
        query.addBindValue(partition.name);
        query.addBindValue(partition.month);
        if (!query.exec()) {
            return false;
        }
    }
    return query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(name)) && query.next() &&
           (*records = query.value(0).toLongLong(), true) &&
           query.exec(QStringLiteral("ALTER TABLE inspection DETACH PARTITION %1").arg(name));
}

bool Retain(QSqlDatabase& db, int months, std::string* text) {
    QSqlQuery query(db);
    const auto failed = [&] {
        *text = query.lastError().databaseText().trimmed().toStdString();
        return false;
    };
    if (!query.exec(
            QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(records::SERVER_SCHEMA_LOCK)) ||
        !query.exec(QStringLiteral("SELECT to_regclass('record_detached') IS NOT NULL")) ||
        !query.next()) {
        return failed();
    }
    if (!query.value(0).toBool()) {
        *text =
            "the server's records are not partitioned by month: run surge-audit setup-server "
            "first";
        return false;
    }
    query.prepare(QString::fromLatin1(OLD_PARTITIONS));
    query.addBindValue(months);
    if (!query.exec()) {
        return failed();
    }
    std::vector<Partition> old;
    std::string boundary;
    while (query.next()) {
        old.push_back({query.value(0).toString(), query.value(1).toString()});
        boundary = query.value(2).toString().toStdString();
    }
    if (old.empty()) {
        *text = "no partition holds a month before the " + std::to_string(months) +
                " kept: nothing detached";
        return true;
    }
    for (const Partition& partition : old) {
        qlonglong records = 0;
        if (!Detach(query, partition, &records)) {
            return failed();
        }
        *text += "detached " + partition.name.toStdString() + " (" + std::to_string(records) +
                 " records)\n";
    }
    *text += "records before " + boundary +
             " are kept in the detached tables, for the DBA to archive or drop";
    return true;
}

}  // namespace

SetupOutcome RetainServer(int months) {
    return InDbaTransaction("no server", "could not detach on",
                            [months](QSqlDatabase& db, const std::string&, std::string* text) {
                                return Retain(db, months, text);
                            });
}

}  // namespace trail
