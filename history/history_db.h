// The station's own connection to "inspection_history.db": open (WAL, full sync), records
// committed in one transaction, a day's counts, a damaged file set aside.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "history/recorder.h"

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace history {

// An inspection as it is stored: the inspection and what the history adds to it.
struct Row {
    Inspection inspection;
    QString uuid;
    QString station;
};

enum class DbStatus { Ok, Damaged, Failed };

class Database {
  public:
    // `connection` names this connection among the process's others to the same file.
    explicit Database(const QString& connection);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    DbStatus Open(const QString& path);
    void Close();
    bool IsOpen() const { return open_; }
    // While set, every record inserted is also queued in the outbox for the server.
    void QueueForServer(bool queue) { queue_ = queue; }
    // All rows or none, synced to disk before it returns.
    DbStatus Insert(const std::vector<Row>& rows);
    // The cycles started on `day` (local time).
    DbStatus CountDay(const QDate& day, Counts* counts);

  private:
    DbStatus Fail(const QSqlError& error);
    DbStatus Abandon(QSqlDatabase& db, QSqlError error);
    DbStatus Commit(QSqlDatabase& db);
    DbStatus ClosedUnlessOk(DbStatus status);
    DbStatus TryOpen(const QString& path);
    DbStatus TryInsert(const std::vector<Row>& rows);
    DbStatus TryCountDay(const QDate& day, Counts* counts);

    QString connection_;
    bool open_ = false;
    bool queue_ = false;
    std::unique_ptr<QSqlQuery> insert_;
    std::unique_ptr<QSqlQuery> outbox_;
};

// Renames a damaged database (and its write-ahead log) to a name that carries `now`, e.g.
// "inspection_history-damaged-20261209-101502.db". Returns the new name, empty on failure.
QString SetAside(const QString& path, const QDateTime& now);

}  // namespace history
