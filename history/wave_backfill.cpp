#include "history/wave_backfill.h"

#include <QByteArray>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "records/database_file.h"
#include "records/schema.h"
#include "records/station_file.h"
#include "values/outcome.h"
#include "wave/features.h"

namespace history {

namespace {

// About 50 ms of fitting a step, then a pause: the writer waits at most for one short commit.
constexpr int BATCH = 1000;
constexpr std::chrono::milliseconds PAUSE{20};
// A file that could not be read (its upgrade failed, a lock held long) is tried again after this.
constexpr std::chrono::milliseconds AGAIN_AFTER = std::chrono::minutes(1);
constexpr int BUSY_MS = 1000;
constexpr const char* WATCH = "wave_backfill";
// The stretch of ids a step reads, in steps' records.
constexpr qlonglong SPAN = 20;

struct Computed {
    qlonglong record = 0;
    std::optional<double> values[4];  // in the order of records::WAVE_FEATURE_COLUMNS
};

QVariant Value(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

std::optional<Wave> WaveOf(const QVariant& blob) {
    const QByteArray bytes = blob.toByteArray();
    if (bytes.size() != WAVE_SAMPLES) {
        return std::nullopt;
    }
    Wave wave;
    std::memcpy(wave.data(), bytes.constData(), WAVE_SAMPLES);
    return wave;
}

// What the cycle's judgement gives a wave before any reference: the fit, and the EAR against the
// tester's standard wave.
std::optional<Computed> Compute(qlonglong record, const QVariant& measured,
                                const QVariant& standard) {
    const std::optional<Wave> wave = WaveOf(measured);
    if (!wave) {
        return std::nullopt;
    }
    Computed computed{record, {}};
    const wave::Features features = wave::Measure(*wave);
    if (features.fittable) {
        computed.values[0] = features.frequency;
        computed.values[1] = features.damping;
        computed.values[3] = features.hf_energy;
    }
    if (const std::optional<Wave> reference = WaveOf(standard)) {
        computed.values[2] = wave::ErrorAreaRatio(*wave, *reference);
    }
    return computed;
}

QString Pending() {
    QString own_null;
    for (const char* name : records::WAVE_FEATURE_COLUMNS) {
        own_null += QStringLiteral(" AND r.%1 IS NULL").arg(QLatin1String(name));
    }
    return QStringLiteral(
               "SELECT r.id, r.measured_wave, (SELECT wave FROM standard WHERE standard.id = "
               "r.standard) FROM inspection_record r WHERE r.id < ? AND r.id >= ? AND "
               "r.measured_wave IS NOT NULL AND r.outcome <> '%1'%2 ORDER BY r.id DESC LIMIT ?")
        .arg(QLatin1String(Outcome_text(Outcome::INCOMPLETE)), own_null);
}

QString Keep() {
    return QStringLiteral(
               "INSERT OR REPLACE INTO wave_features (record, %1) VALUES (?, ?, ?, ?, ?)")
        .arg(QStringLiteral("ringing_frequency, damping, standard_error_area, hf_energy"));
}

bool Write(QSqlDatabase& db, const std::vector<Computed>& rows, qlonglong below) {
    if (!QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        return false;
    }
    QSqlQuery keep(db);
    QSqlQuery queue(db);
    bool ok = keep.prepare(Keep()) &&
              queue.prepare(QStringLiteral("INSERT OR IGNORE INTO wave_outbox VALUES (?)"));
    for (const Computed& row : rows) {
        keep.bindValue(0, row.record);
        for (int i = 0; i < 4; ++i) {
            keep.bindValue(i + 1, Value(row.values[i]));
        }
        queue.bindValue(0, row.record);
        ok = ok && keep.exec() && queue.exec();
    }
    QSqlQuery moved(db);
    ok = ok && moved.prepare(QStringLiteral("UPDATE wave_backfill SET below = ?"));
    moved.addBindValue(below);
    ok = ok && moved.exec();
    if (!ok || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

BackfillStep Step(QSqlDatabase& db, int batch, const std::atomic<bool>& stopping) {
    BackfillStep step;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT below FROM wave_backfill")) || !query.next()) {
        return step;
    }
    const qlonglong below = query.value(0).toLongLong();
    // Nothing below the first record: a file this version made, whose records all have their
    // features, is never written to.
    if (below <= 1) {
        step.ok = step.finished = true;
        return step;
    }
    if (!query.prepare(Pending())) {
        return step;
    }
    // A step reads a bounded stretch of ids, so that one through records that have their
    // features already (the newest, when the walk begins) ends soon too.
    const qlonglong lower = std::max<qlonglong>(1, below - static_cast<qlonglong>(batch) * SPAN);
    query.addBindValue(below);
    query.addBindValue(lower);
    query.addBindValue(batch);
    if (!query.exec()) {
        return step;
    }
    std::vector<Computed> rows;
    qlonglong lowest = 0;
    int looked_at = 0;
    while (query.next()) {
        if (stopping) {
            return step;
        }
        ++looked_at;
        lowest = query.value(0).toLongLong();
        const auto computed = Compute(lowest, query.value(1), query.value(2));
        if (computed && std::any_of(std::begin(computed->values), std::end(computed->values),
                                    [](const auto& value) { return value.has_value(); })) {
            rows.push_back(*computed);
        }
    }
    query.finish();
    // Fewer than asked: none is left in the stretch, and the walk ends at the first record.
    const qlonglong next = looked_at < batch ? lower : lowest;
    step.finished = next <= 1;
    step.ok = Write(db, rows, step.finished ? 0 : next);
    step.computed = step.ok ? static_cast<int>(rows.size()) : 0;
    return step;
}

struct Runner {
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::condition_variable woken;
};

Runner& TheRunner() {
    static Runner runner;
    return runner;
}

// Sleeps `pause` unless told to stop; true when told.
bool StoppedDuring(Runner& runner, std::chrono::milliseconds pause) {
    std::unique_lock<std::mutex> lock(runner.mutex);
    return runner.woken.wait_for(lock, pause, [&runner] { return runner.stopping.load(); });
}

void Run(Runner* runner) {
#if defined(__linux__)
    // A thread's niceness is its own on Linux: the cycle's threads keep the processor first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
#endif
    const std::string path = records::DATABASE_FILE;
    while (!runner->stopping) {
        const BackfillStep step = BackfillWaveFeatures(path, BATCH, runner->stopping);
        if (step.ok && step.finished) {
            return;
        }
        if (StoppedDuring(*runner, step.ok ? PAUSE : AGAIN_AFTER)) {
            return;
        }
    }
}

void Halt() {
    Runner& runner = TheRunner();
    if (!runner.thread.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(runner.mutex);
        runner.stopping = true;
    }
    runner.woken.notify_all();
    runner.thread.join();
}

void Launch() {
    Halt();
    Runner& runner = TheRunner();
    runner.stopping = false;
    runner.thread = std::thread(Run, &runner);
}

}  // namespace

BackfillStep BackfillWaveFeatures(const std::string& path, int batch,
                                  const std::atomic<bool>& stopping) {
    static std::atomic<int> connections{0};
    const QString name = QStringLiteral("surge_wave_backfill_%1").arg(++connections);
    BackfillStep step;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // Never made anew: a file set aside meanwhile is the writer's to begin again.
        const QString file = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
        db.setDatabaseName(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded) + "?mode=rw");
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(BUSY_MS));
        if (db.open()) {
            step = Step(db, batch, stopping);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return step;
}

void StartWaveBackfill() {
    // The file set aside or put back: the thread lets it go, and begins again on the new one.
    records::WatchStationFile(WATCH, {Halt, [](const QString&) { Launch(); }});
    Launch();
}

void StopWaveBackfill() {
    records::WatchStationFile(WATCH, {});
    Halt();
}

}  // namespace history
