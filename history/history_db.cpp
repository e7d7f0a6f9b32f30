#include "history/history_db.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "history/record_fields.h"
#include "history/schema.h"

namespace history {

namespace {

constexpr int SQLITE_CORRUPT = 11;
constexpr int SQLITE_NOTADB = 26;

const char* const SETUP_STATEMENTS[] = {
    "PRAGMA journal_mode = WAL",
    "PRAGMA synchronous = FULL",
};

constexpr const char* INSERT =
    "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, model_no, "
    "voltage, width, pulse_no, judge, area, phase, outcome, stopped_at, standard_wave, "
    "measured_wave) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

template <typename T>
QVariant Value(bool reached, T value) {
    return reached ? QVariant(value) : QVariant();
}

QVariant Blob(const std::optional<Wave>& wave) {
    if (!wave) {
        return QVariant(QMetaType(QMetaType::QByteArray));
    }
    return QByteArray(reinterpret_cast<const char*>(wave->data()), WAVE_SAMPLES);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

Database::Database(const QString& connection) : connection_(connection) {}

Database::~Database() {
    Close();
}

DbStatus Database::Fail(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? DbStatus::Damaged : DbStatus::Failed;
}

// Ends the transaction that failed with `error`.
DbStatus Database::Abandon(QSqlDatabase& db, QSqlError error) {
    db.rollback();
    return Fail(error);
}

DbStatus Database::Commit(QSqlDatabase& db) {
    return db.commit() ? DbStatus::Ok : Abandon(db, db.lastError());
}

// A connection that failed is closed, once none of its handles is left.
DbStatus Database::ClosedUnlessOk(DbStatus status) {
    if (status != DbStatus::Ok) {
        Close();
    }
    return status;
}

DbStatus Database::Open(const QString& path) {
    Close();
    return ClosedUnlessOk(TryOpen(path));
}

DbStatus Database::TryOpen(const QString& path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
    if (!db.open()) {
        return Fail(db.lastError());
    }
    open_ = true;
    QSqlQuery query(db);
    for (const char* statement : SETUP_STATEMENTS) {
        if (!query.exec(QString::fromLatin1(statement))) {
            return Fail(query.lastError());
        }
    }
    if (!query.exec(QStringLiteral("SELECT type FROM sqlite_master WHERE name = 'inspection'"))) {
        return Fail(query.lastError());
    }
    const bool version_1 = query.next() && query.value(0).toString() == QLatin1String("table");
    query.finish();
    if (!db.transaction()) {
        return Fail(db.lastError());
    }
    for (const std::string& statement : LocalSchema(version_1)) {
        if (!query.exec(QString::fromStdString(statement))) {
            return Abandon(db, query.lastError());
        }
    }
    if (const DbStatus committed = Commit(db); committed != DbStatus::Ok) {
        return committed;
    }
    insert_ = std::make_unique<QSqlQuery>(db);
    if (!insert_->prepare(QString::fromLatin1(INSERT))) {
        return Fail(insert_->lastError());
    }
    outbox_ = std::make_unique<QSqlQuery>(db);
    if (!outbox_->prepare(
            QStringLiteral("INSERT INTO outbox SELECT MAX(id) FROM inspection_record"))) {
        return Fail(outbox_->lastError());
    }
    return DbStatus::Ok;
}

void Database::Close() {
    insert_.reset();
    outbox_.reset();
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    open_ = false;
}

DbStatus Database::Insert(const std::vector<Row>& rows) {
    return open_ ? ClosedUnlessOk(TryInsert(rows)) : DbStatus::Failed;
}

DbStatus Database::TryInsert(const std::vector<Row>& rows) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction()) {
        return Fail(db.lastError());
    }
    for (const Row& row : rows) {
        const Inspection& c = row.inspection;
        const bool set = c.setup.has_value();
        const bool read = c.result.has_value();
        const QVariant values[] = {row.uuid,
                                   row.station,
                                   IsoTime(c.started_at),
                                   IsoTime(c.ended_at),
                                   Text(c.serial),
                                   Text(c.master),
                                   Text(set ? c.setup->model_no.text : ""),
                                   Value(set, set ? c.setup->kilovolts : 0.0),
                                   Value(set, set ? c.setup->width.value : 0),
                                   Value(set, set ? c.setup->pulse_no.value : 0),
                                   Value(set, set ? c.setup->judge.value : 0),
                                   Value(read, read ? c.result->area : 0),
                                   Value(read, read ? c.result->phase : 0),
                                   QString::fromLatin1(Outcome_text(c.outcome)),
                                   Text(c.failed_command),
                                   Blob(c.standard_wave),
                                   Blob(c.measured_wave)};
        for (int i = 0; i < static_cast<int>(std::size(values)); ++i) {
            insert_->bindValue(i, values[i]);
        }
        QSqlQuery* failed = insert_->exec() ? nullptr : insert_.get();
        if (!failed && queue_) {
            failed = outbox_->exec() ? nullptr : outbox_.get();
        }
        if (failed) {
            return Abandon(db, failed->lastError());
        }
    }
    return Commit(db);
}

DbStatus Database::CountDay(const QDate& day, Counts* counts) {
    return open_ ? ClosedUnlessOk(TryCountDay(day, counts)) : DbStatus::Failed;
}

DbStatus Database::TryCountDay(const QDate& day, Counts* counts) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral(
        "SELECT COUNT(*), TOTAL(outcome = 'O.K'), TOTAL(outcome = 'N.G') FROM inspection "
        "WHERE started_at >= ? AND started_at < ? AND outcome IN ('O.K', 'N.G')"));
    query.addBindValue(day.toString(Qt::ISODate));
    query.addBindValue(day.addDays(1).toString(Qt::ISODate));
    if (!query.exec() || !query.next()) {
        return Fail(query.lastError());
    }
    *counts = {query.value(0).toLongLong(), query.value(1).toLongLong(),
               query.value(2).toLongLong()};
    return DbStatus::Ok;
}

QString SetAside(const QString& path, const QDateTime& now) {
    QString base = path;
    if (base.endsWith(QStringLiteral(".db"))) {
        base.chop(3);
    }
    const QString target = base + QStringLiteral("-damaged-") +
                           now.toString(QStringLiteral("yyyyMMdd-HHmmss")) + ".db";
    if (QFile::exists(target) || !QFile::rename(path, target)) {
        return QString();
    }
    QFile::rename(path + "-wal", target + "-wal");
    QFile::remove(path + "-shm");
    return target;
}

}  // namespace history
