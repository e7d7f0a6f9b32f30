#include "records/carry_over.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <vector>

#include "records/columns.h"
#include "records/schema.h"
#include "records/server_link.h"

namespace records {

namespace {

// Past a part that cannot be read, reading goes on this many ids further.
constexpr long long PASS_OVER = 1000;

QString NextConnection() {
    static std::atomic<int> count{0};
    return QStringLiteral("surge_carry_over_%1").arg(++count);
}

}  // namespace

CarryOver::CarryOver(const QString& damaged) : connection_(NextConnection()) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(damaged);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    open_ = db.open();
    if (open_) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("SELECT MAX(id) FROM inspection")) && query.next()) {
            last_id_ = query.value(0).toLongLong();
        }
        // A file of the features computed later keeps its records as stored in a view of its own.
        const QString stored = QLatin1String(STORED_VIEW);
        from_ = db.record(stored).isEmpty() ? QStringLiteral("inspection") : stored;
        const QSqlRecord fields = db.record(from_);
        QStringList columns;
        for (const Column& column : InspectionColumns()) {
            if (column.value != nullptr) {
                const QString name = QLatin1String(column.name);
                columns << (fields.contains(name) ? name : QStringLiteral("NULL AS ") + name);
            }
        }
        columns_ = columns.join(QStringLiteral(", "));
        if (fields.contains(QLatin1String(CHAIN_SEQ)) &&
            query.exec(QStringLiteral("SELECT seq, hash FROM inspection_record WHERE seq IS NOT "
                                      "NULL ORDER BY seq DESC LIMIT 1"))) {
            chain_end_ = query.next() ? std::make_pair(query.value(0).toLongLong(),
                                                       query.value(1).toString())
                                      : std::make_pair(0LL, QString());
        }
    }
    finished_ = !open_ || last_id_ < 0;
}

CarryOver::~CarryOver() {
    Drop(connection_);
}

bool CarryOver::Step(Database* into, int chunk) {
    if (finished_) {
        return false;
    }
    QSqlQuery read(QSqlDatabase::database(connection_, false));
    read.setForwardOnly(true);
    std::vector<std::vector<QVariant>> rows;
    long long last = after_;
    const int columns = StoredColumnCount();
    bool read_ok =
        read.prepare(QStringLiteral("SELECT id, %1 FROM %2 WHERE id > ? ORDER BY id LIMIT ?")
                         .arg(columns_, from_));
    if (read_ok) {
        read.addBindValue(after_);
        read.addBindValue(chunk);
        read_ok = read.exec();
    }
    while (read_ok && read.next()) {
        last = read.value(0).toLongLong();
        std::vector<QVariant> row;
        for (int i = 1; i <= columns; ++i) {
            row.push_back(read.value(i));
        }
        if (!chain_end_) {
            for (const char* chain : {CHAIN_SEQ, CHAIN_PREV, CHAIN_HASH}) {
                row[static_cast<std::size_t>(StoredIndex(chain))] = QVariant();
            }
        }
        rows.push_back(std::move(row));
    }
    const bool whole = read_ok && read.lastError().type() == QSqlError::NoError;
    read.finish();
    if (!rows.empty() && into->InsertValues(rows) != DbStatus::Ok) {
        // The new file took nothing: try again at the next step.
        return true;
    }
    carried_ += static_cast<long long>(rows.size());
    after_ = whole ? last : std::max(last, after_ + PASS_OVER);
    finished_ = (whole && rows.size() < static_cast<std::size_t>(chunk)) || after_ >= last_id_;
    return !finished_;
}

namespace {

// Copies what of `table` can be read, oldest first, row by row into the same table of `into`.
void CarryTable(QSqlDatabase& from, QSqlDatabase& into, const QString& table, const QString& order,
                const QString& queue) {
    QSqlQuery read(from);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order))) {
        return;
    }
    QSqlQuery write(into);
    bool prepared = false;
    while (read.next()) {
        const QSqlRecord fields = read.record();
        if (!prepared) {
            QStringList names;
            QStringList marks;
            for (int i = 0; i < fields.count(); ++i) {
                names << fields.fieldName(i);
                marks << QStringLiteral("?");
            }
            prepared = write.prepare(
                QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                    .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
            if (!prepared) {
                return;
            }
        }
        for (int i = 0; i < fields.count(); ++i) {
            write.bindValue(i, read.value(i));
        }
        write.exec();
        if (!queue.isEmpty()) {
            QSqlQuery(into).exec(QStringLiteral("INSERT OR IGNORE INTO %1 VALUES (%2)")
                                     .arg(queue)
                                     .arg(read.value(0).toLongLong()));
        }
    }
}

}  // namespace

bool CarryTrail(const QString& damaged, Database* into) {
    const QString name = NextConnection();
    bool opened = false;
    {
        QSqlDatabase from = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        from.setDatabaseName(damaged);
        from.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        opened = from.open();
        if (opened) {
            into->Read([&from](QSqlDatabase& file) {
                file.transaction();
                CarryTable(from, file, QStringLiteral("users"), QStringLiteral("name"), QString());
                CarryTable(from, file, QStringLiteral("settings"), QStringLiteral("key"),
                           QString());
                CarryTable(from, file, QStringLiteral("audit"), QStringLiteral("seq"),
                           QStringLiteral("audit_outbox"));
                return file.commit() ? DbStatus::Ok : DbStatus::Failed;
            });
        }
    }
    Drop(name);
    return opened;
}

}  // namespace records
