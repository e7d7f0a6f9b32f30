#include "history/unit_count_job.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMetaObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "history/counts.h"
#include "history/filter_sql.h"

namespace history {

namespace {

constexpr int LONG_PERIOD_DAYS = 31;

// One count's thread: a count forgotten by a later start runs on to its end beside the new one.
struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
};

struct Jobs {
    std::vector<Worker> workers;
    // Read and written on the UI thread only; each worker hands its own back there.
    std::shared_ptr<bool> wanted;
    int started = 0;

    ~Jobs() {
        for (Worker& worker : workers) {
            worker.thread.join();
        }
    }
};

Jobs& Current() {
    static Jobs jobs;
    return jobs;
}

void Count(const QString& reader, const QString& connection, const QString& sql,
           const QVariantList& values, std::shared_ptr<bool> wanted,
           std::function<void(bool, const UnitCounts&)> done,
           std::shared_ptr<std::atomic<bool>> finished) {
    bool ok = false;
    UnitCounts units;
    {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(reader, connection);
        if (db.open()) {
            QSqlQuery query(db);
            // A server's reader waits 10 s at most for a statement, as the panel's own.
            const bool server = db.driverName() == QLatin1String("QPSQL");
            ok = (!server || query.exec(QStringLiteral("SET statement_timeout = 10000"))) &&
                 PrepareRead(&query, sql, values) && query.exec() && query.next();
            if (ok) {
                units = {query.value(0).toLongLong(), query.value(1).toLongLong(),
                         query.value(2).toLongLong()};
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [wanted, done = std::move(done), ok, units] {
            if (*wanted) {
                *wanted = false;
                done(ok, units);
            }
        },
        Qt::QueuedConnection);
    *finished = true;
}

// Waits for the workers that have ended, or for all.
void Join(bool all) {
    std::vector<Worker>& workers = Current().workers;
    for (auto worker = workers.begin(); worker != workers.end();) {
        if (all || *worker->finished) {
            worker->thread.join();
            worker = workers.erase(worker);
        } else {
            ++worker;
        }
    }
}

}  // namespace

bool UnitsTakeLong(const Filter& filter) {
    QString lo, hi;
    if (!FilterPeriod(filter, &lo, &hi)) {
        return false;
    }
    const QDateTime from = QDateTime::fromString(lo, Qt::ISODate);
    const QDateTime to = QDateTime::fromString(hi, Qt::ISODate);
    return from.isValid() && to.isValid() && from.daysTo(to) > LONG_PERIOD_DAYS;
}

bool StartUnitCount(const Reader& reader, const Filter& filter,
                    std::function<void(bool ok, const UnitCounts& units)> done) {
    StopUnitCount(false);
    FilterSql where;
    const QSqlDatabase database = ReaderDatabase(reader);
    if (!database.isValid() || QCoreApplication::instance() == nullptr ||
        !FilterWhere(reader, filter, &where)) {
        return false;
    }
    Jobs& jobs = Current();
    jobs.wanted = std::make_shared<bool>(true);
    const QString connection = QStringLiteral("history_units_%1").arg(++jobs.started);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    jobs.workers.push_back(
        {std::thread(Count, database.connectionName(), connection, UnitCountsQuery(where.sql),
                     where.values, jobs.wanted, std::move(done), finished),
         finished});
    return true;
}

void StopUnitCount(bool wait) {
    Jobs& jobs = Current();
    if (jobs.wanted) {
        *jobs.wanted = false;
    }
    Join(wait);
}

}  // namespace history
