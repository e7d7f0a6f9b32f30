#include "records/database.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "records/record_chain.h"
#include "records/record_fields.h"
#include "records/schema.h"

namespace records {

namespace {

constexpr int SQLITE_CORRUPT = 11;
constexpr int SQLITE_NOTADB = 26;

const char* const SETUP_STATEMENTS[] = {
    "PRAGMA journal_mode = WAL",
    "PRAGMA synchronous = FULL",
};

// The newest record of the chain: the file's own, or where a damaged file's chain ended.
constexpr const char* CHAIN_END =
    "SELECT seq, hash FROM (SELECT seq, hash FROM inspection_record WHERE seq IS NOT NULL "
    "ORDER BY seq DESC LIMIT 1) UNION ALL SELECT seq, hash FROM record_chain_start "
    "ORDER BY seq DESC LIMIT 1";

// The file holds the users' password hashes: the station's user alone may read it, and SQLite
// gives its -wal and -shm the file's own permissions.
DbStatus KeepPermissions(const QString& path) {
    constexpr QFile::Permissions OTHERS = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    for (const QString& name : {path, path + "-wal", path + "-shm"}) {
        QFile file(name);
        if (file.exists() && (file.permissions() & OTHERS)) {
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        }
    }
    return DbStatus::Ok;
}

// A new file is made empty, for the station's user alone, before SQLite writes into it.
void MakeOwnFile(const QString& path) {
    QFile file(path);
    if (!file.exists() && file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
}

QString InsertStatement() {
    QString marks = QStringLiteral("?");
    for (int i = 1; i < StoredColumnCount(); ++i) {
        marks += QStringLiteral(", ?");
    }
    return QStringLiteral("INSERT INTO inspection (%1) VALUES (%2)").arg(StoredColumnList(), marks);
}

}  // namespace

DbStatus StatusOf(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB ? DbStatus::Damaged : DbStatus::Failed;
}

int FileSchemaVersion(QSqlDatabase& db, QSqlError* error) {
    QSqlQuery query(db);
    const auto failed = [&query, error] {
        *error = query.lastError();
        return -1;
    };
    if (!query.exec(QStringLiteral("SELECT type FROM sqlite_master WHERE name = 'inspection'"))) {
        return failed();
    }
    if (!query.next()) {
        return 0;
    }
    if (query.value(0).toString() == QLatin1String("table")) {
        return 1;
    }
    // The view came with version 2, and every file that has it keeps its version.
    if (!query.exec(QStringLiteral("SELECT COALESCE(MAX(version), 2) FROM schema_version")) ||
        !query.next()) {
        return failed();
    }
    return query.value(0).toInt();
}

Database::Database(const QString& connection, int busy_ms)
    : connection_(connection), busy_ms_(busy_ms) {}

Database::~Database() {
    Close();
}

// Ends the transaction that failed with `error`.
DbStatus Database::Abandon(QSqlDatabase& db, QSqlError error) {
    db.rollback();
    return StatusOf(error);
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
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busy_ms_));
    MakeOwnFile(path);
    KeepPermissions(path);
    if (!db.open()) {
        return StatusOf(db.lastError());
    }
    open_ = true;
    QSqlQuery query(db);
    for (const char* statement : SETUP_STATEMENTS) {
        if (!query.exec(QString::fromLatin1(statement))) {
            return StatusOf(query.lastError());
        }
    }
    QSqlError error;
    const int version = FileSchemaVersion(db, &error);
    if (version < 0) {
        return StatusOf(error);
    }
    // The write lock first: another process opening the file at once (surge-users) waits for it
    // rather than failing on a lock it could not upgrade.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        return StatusOf(query.lastError());
    }
    upgrade_failed_ = version > 0 && version < LOCAL_SCHEMA_VERSION;
    for (const std::string& statement : LocalSchema(version)) {
        if (!query.exec(QString::fromStdString(statement))) {
            return Abandon(db, query.lastError());
        }
    }
    if (const DbStatus committed = Commit(db); committed != DbStatus::Ok) {
        return committed;
    }
    upgrade_failed_ = false;
    KeepStationName(db);
    insert_ = std::make_unique<QSqlQuery>(db);
    if (!insert_->prepare(InsertStatement())) {
        return StatusOf(insert_->lastError());
    }
    outbox_ = std::make_unique<QSqlQuery>(db);
    if (!outbox_->prepare(
            QStringLiteral("INSERT INTO outbox SELECT MAX(id) FROM inspection_record"))) {
        return StatusOf(outbox_->lastError());
    }
    chain_end_ = std::make_unique<QSqlQuery>(db);
    if (!chain_end_->prepare(QString::fromLatin1(CHAIN_END))) {
        return StatusOf(chain_end_->lastError());
    }
    return KeepPermissions(path);
}

void Database::Close() {
    insert_.reset();
    outbox_.reset();
    chain_end_.reset();
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    open_ = false;
}

DbStatus Database::Insert(const std::vector<InspectionRow>& rows) {
    std::vector<std::vector<QVariant>> values;
    for (const InspectionRow& row : rows) {
        values.push_back(StoredValues(row));
    }
    return InsertValues(values);
}

DbStatus Database::InsertValues(const std::vector<std::vector<QVariant>>& rows) {
    return open_ ? ClosedUnlessOk(TryInsert(rows)) : DbStatus::Failed;
}

DbStatus Database::TryInsert(const std::vector<std::vector<QVariant>>& rows) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    // The write lock first: a transaction that read the chain's end before it took the lock would
    // fail at once, without waiting, once another connection wrote meanwhile.
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        return StatusOf(begin.lastError());
    }
    qlonglong seq = 0;
    QString hash = QString::fromStdString(std::string(64, '0'));
    if (!chain_end_->exec()) {
        return Abandon(db, chain_end_->lastError());
    }
    if (chain_end_->next()) {
        seq = chain_end_->value(0).toLongLong();
        hash = chain_end_->value(1).toString();
    }
    chain_end_->finish();
    static const std::size_t at_seq = static_cast<std::size_t>(StoredIndex(CHAIN_SEQ));
    static const std::size_t at_prev = static_cast<std::size_t>(StoredIndex(CHAIN_PREV));
    static const std::size_t at_hash = static_cast<std::size_t>(StoredIndex(CHAIN_HASH));
    for (std::vector<QVariant> values : rows) {
        if (values[at_seq].isNull()) {
            values[at_seq] = ++seq;
            values[at_prev] = hash;
            values[at_hash] = hash = RecordHash(values, seq, values[at_prev].toString());
        }
        for (int i = 0; i < static_cast<int>(values.size()); ++i) {
            insert_->bindValue(i, values[static_cast<std::size_t>(i)]);
        }
        QSqlQuery* failed = insert_->exec() ? nullptr : insert_.get();
        if (!failed) {
            failed = outbox_->exec() ? nullptr : outbox_.get();
        }
        if (failed) {
            return Abandon(db, failed->lastError());
        }
    }
    return Commit(db);
}

DbStatus Database::ContinueChain(qlonglong seq, const QString& hash) {
    return Read([&](QSqlDatabase& db) {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT INTO record_chain_start (seq, hash) VALUES (?, ?)"));
        query.addBindValue(seq);
        query.addBindValue(hash);
        return query.exec() ? DbStatus::Ok : StatusOf(query.lastError());
    });
}

DbStatus Database::Read(const std::function<DbStatus(QSqlDatabase& db)>& read) {
    if (!open_) {
        return DbStatus::Failed;
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    return ClosedUnlessOk(read(db));
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

}  // namespace records
