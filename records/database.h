// The station's own connection to "inspection_history.db": open (WAL, full sync, the schema made
// or upgraded), records committed in one transaction, reads on the same connection, a damaged
// file set aside.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "records/columns.h"
#include "records/database_file.h"

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace records {

enum class DbStatus { Ok, Damaged, Failed };

// Damaged when SQLite says the file is corrupt or no database, else Failed.
DbStatus StatusOf(const QSqlError& error);

class Database {
  public:
    // `connection` names this connection among the process's others to the same file; a
    // statement waits at most `busy_ms` for another's write to end.
    explicit Database(const QString& connection, int busy_ms = 200);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    DbStatus Open(const QString& path);
    void Close();
    bool IsOpen() const { return open_; }
    // The last Open failed while it brought an older file up to this version.
    bool UpgradeFailed() const { return upgrade_failed_; }
    // All rows or none, each queued in the outbox and given its place in the records' chain,
    // synced to disk before it returns.
    DbStatus Insert(const std::vector<InspectionRow>& rows);
    // The same for records as stored, each its values in the order of StoredColumnList; a record
    // that carries its place in a chain (one carried over from a damaged file) keeps it.
    DbStatus InsertValues(const std::vector<std::vector<QVariant>>& rows);
    // A file begun anew after a damaged one: its records' chain goes on from the damaged file's
    // last record (`seq`, `hash`), whose records come over after the new ones have begun.
    DbStatus ContinueChain(qlonglong seq, const QString& hash);
    // Runs `read` on the open connection; a connection that fails is closed.
    DbStatus Read(const std::function<DbStatus(QSqlDatabase& db)>& read);

  private:
    DbStatus Abandon(QSqlDatabase& db, QSqlError error);
    DbStatus Commit(QSqlDatabase& db);
    DbStatus ClosedUnlessOk(DbStatus status);
    DbStatus TryOpen(const QString& path);
    DbStatus TryInsert(const std::vector<std::vector<QVariant>>& rows);

    QString connection_;
    int busy_ms_;
    bool open_ = false;
    bool upgrade_failed_ = false;
    std::unique_ptr<QSqlQuery> insert_;
    std::unique_ptr<QSqlQuery> outbox_;
    std::unique_ptr<QSqlQuery> chain_end_;
};

// The schema version of the file open on `db`: 0 without the history's tables, 1 for the first
// layout (a table `inspection`), else what `schema_version` holds; -1 (and `error`) when it cannot
// be read.
int FileSchemaVersion(QSqlDatabase& db, QSqlError* error);

// Renames a damaged database (and its write-ahead log) to a name that carries `now`, e.g.
// "inspection_history-damaged-20261209-101502.db". Returns the new name, empty on failure.
QString SetAside(const QString& path, const QDateTime& now);

}  // namespace records
