#include "records/forwarder.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "log/log.h"
#include "records/schema_versions.h"
#include "records/sending.h"
#include "records/server_link.h"
#include "values/tell_once.h"

namespace records {

namespace {

constexpr const char* SERVER_REFUSED =
    "검사 이력 서버에 접속할 수 없습니다 (%1).\n"
    "검사 이력은 이 검사기에 기록되고 있습니다. 서버 주소, 데이터베이스 이름, 사용자와 암호를 "
    "확인하십시요.";
constexpr const char* SERVER_UNTRUSTED =
    "검사 이력 서버를 확인할 수 없어 접속하지 않았습니다 (%1: %2).\n"
    "검사 이력은 이 검사기에 기록되고 있습니다. 서버 주소와 인증서(sslrootcert)를 확인하십시요.";
constexpr const char* SERVER_NEWER =
    "검사 이력 서버의 데이터베이스가 이 프로그램보다 새 버전입니다 (%1, 버전 %2).\n"
    "검사 이력은 이 검사기에만 기록됩니다. 프로그램을 새 버전으로 바꾸십시요.";
constexpr const char* RECORDS_REFUSED =
    "검사 이력 서버가 기록을 받지 않았습니다 (%1: %2).\n"
    "받지 않은 기록은 이 검사기에 따로 두고, 서버가 받을 때까지 5 분마다 다시 보냅니다.";
constexpr const char* AUDIT_REFUSED =
    "검사 이력 서버가 변경 기록(감사 기록) %3 번을 받지 않았습니다 (%1: %2).\n"
    "그 기록과 그 뒤의 변경 기록은 이 검사기에 보관하고, 서버가 받을 때까지 5 분마다 다시 "
    "보냅니다.";

constexpr int BATCH = 200;
constexpr int RETRY_MS = 1000;
constexpr int NEWER_RETRY_MS = 60000;
constexpr auto REFUSED_RETRY = std::chrono::minutes(5);
// Each forwarder's connections have names of their own: one left behind at a shutdown may still
// hold its names when the next starts.
QString ConnectionName(const char* what) {
    static std::atomic<int> count{0};
    return QStringLiteral("surge_forward_%1_%2").arg(QLatin1String(what)).arg(++count);
}

bool OpenLocal(const QString& name, const QString& file) {
    if (QSqlDatabase::database(name, false).isOpen()) {
        return true;
    }
    Drop(name);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        // A lost acknowledgement only sends a record again: no sync of its own is needed.
        ok = db.open() && QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
    if (!ok) {
        Drop(name);
    }
    return ok;
}

long Count(const QSqlDatabase& db, const char* table) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))) ||
        !query.next()) {
        return -1;
    }
    return query.value(0).toLongLong();
}

}  // namespace

struct Forwarder::State : std::enable_shared_from_this<State> {
    // Set before the thread starts, read only after.
    ServerConfig server;
    QString local_file;
    const QString local_name = ConnectionName("local");
    const QString server_name = ConnectionName("server");
    Events events;  // called on the main thread only, through Post
    // Shared, atomic. Cleared by the destructor: a call posted after is not made.
    std::atomic<bool> alive{true};
    // Set by the destructor under `mutex`; the thread ends its round and leaves.
    std::atomic<bool> stopping{false};
    // Set by the destructor when it leaves the thread behind.
    std::atomic<bool> abandoned{false};
    // Set by ReopenLocal, taken by the thread.
    std::atomic<bool> reopen_local{false};
    // Published by the thread, counted up by Wake, read by Waiting.
    std::atomic<long> waiting{-1};
    std::atomic<long> wakes{0};  // the Wakes so far: the records queued since a count was read
    // Published by the thread, read by Refused.
    std::atomic<long> refused{0};
    // Shared under `mutex`, signalled by `wake`: `woken` set by Wake and cleared by the thread's
    // Sleep, `done` set by the thread as it ends, waited for by the destructor.
    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;
    bool done = false;
    // The thread's own: the link, the warnings it showed once, when the refused are tried again.
    bool linked = false;
    int server_version = 0;
    TellOnce told_refused;
    TellOnce told_untrusted;
    TellOnce told_newer;
    TellOnce told_records_refused;
    TellOnce told_audit_refused;
    std::chrono::steady_clock::time_point retry_refused_at;
    std::chrono::steady_clock::time_point retry_audit_refused_at;

    void Post(std::function<void()> call) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr || !alive) {
            return;
        }
        QMetaObject::invokeMethod(
            app,
            [self = shared_from_this(), call = std::move(call)] {
                if (self->alive) {
                    call();
                }
            },
            Qt::QueuedConnection);
    }
    // `now_waiting` as counted after `wakes` stood at `wakes_before`: a record queued since then
    // (its Wake counted it at once) is not counted away by the older count.
    void Publish(long now_waiting, long now_refused, long wakes_before) {
        long current = waiting.load();
        long published = now_waiting;
        do {
            published = now_waiting >= 0 && wakes.load() != wakes_before
                            ? std::max(now_waiting + 1, current)
                            : now_waiting;
        } while (!waiting.compare_exchange_weak(current, published));
        const bool refused_changed = refused.exchange(now_refused) != now_refused;
        const bool changed = current != published || refused_changed;
        now_waiting = published;
        if (changed && events.counts) {
            Post([this, now_waiting, now_refused] { events.counts(now_waiting, now_refused); });
        }
    }
    void WarnOnce(TellOnce* told, const QString& text) {
        if (events.warn && told->Due()) {
            Post([this, text] { events.warn(text); });
        }
    }
    bool Sleep(int ms) {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return woken || stopping; });
        woken = false;
        return !stopping;
    }
    bool Link();
    int Pass(bool* failed);
    bool SendRecords(QSqlDatabase& local, QSqlDatabase& db, long queued,
                     std::chrono::steady_clock::time_point now, bool* more);
    bool SendTrail(QSqlDatabase& local, QSqlDatabase& db, std::chrono::steady_clock::time_point now,
                   bool* more);
    bool SendFeatures(QSqlDatabase& local, QSqlDatabase& db, bool* more);
    void Run();
};

// Connected before the first record waits, so that it need not wait for the connection.
bool Forwarder::State::Link() {
    int version = 0;
    QString reason;
    const records::Link link = Connect(server, server_name, &version, &reason);
    server_version = version;
    if (link == Link::Refused) {
        WarnOnce(&told_refused, QString::fromUtf8(SERVER_REFUSED).arg(server.Where()));
    } else if (link == Link::Untrusted) {
        WarnOnce(&told_untrusted, QString::fromUtf8(SERVER_UNTRUSTED).arg(server.Where(), reason));
    } else if (link == Link::Newer) {
        WarnOnce(&told_newer, QString::fromUtf8(SERVER_NEWER).arg(server.Where()).arg(version));
    }
    const bool was_linked = linked;
    linked = link == Link::Ok;
    if (!linked) {
        Drop(server_name);
        if (link != Link::Down || was_linked) {
            surge_log::Write("feed", ("server " + server.Where() + " not connected: " +
                                      (reason.isEmpty() ? QStringLiteral("newer schema") : reason))
                                         .toStdString());
        }
    } else {
        retry_refused_at = std::chrono::steady_clock::now();
        retry_audit_refused_at = retry_refused_at;
        surge_log::Write("feed", QStringLiteral("server %1 connected, %2 records waiting")
                                     .arg(server.Where())
                                     .arg(waiting.load())
                                     .toStdString());
    }
    return linked || link != Link::Newer;
}

// One round: returns how long to wait before the next; `failed` drops the connections.
int Forwarder::State::Pass(bool* failed) {
    if (reopen_local.exchange(false)) {
        Drop(local_name);
    }
    if (!OpenLocal(local_name, local_file)) {
        return RETRY_MS;
    }
    QSqlDatabase local = QSqlDatabase::database(local_name, false);
    const long wakes_before = wakes.load();
    const long queued = Count(local, "outbox");
    const long set_aside = Count(local, "refused");
    Publish(queued, set_aside, wakes_before);
    if (queued < 0 || set_aside < 0) {
        *failed = true;
        return RETRY_MS;
    }
    // A file whose upgrade could not be written yet has no trail: its records go alone.
    const long trail_queued = std::max(0L, Count(local, "audit_outbox"));
    if (!linked && !Link()) {
        return NEWER_RETRY_MS;
    }
    if (!linked) {
        return RETRY_MS;
    }
    // Each queue, or else what it set aside once a while has passed.
    const auto now = std::chrono::steady_clock::now();
    const bool records = queued > 0 || (set_aside > 0 && now >= retry_refused_at);
    // The trail waits a while behind a row the server did not take.
    const bool trail = trail_queued > 0 && now >= retry_audit_refused_at;
    // The features computed for records kept before go to a server that has a table for them.
    const bool features =
        server_version >= FEATURES_LAYOUT && std::max(0L, Count(local, "wave_outbox")) > 0;
    if (!records && !trail && !features) {
        return RETRY_MS;
    }
    QSqlDatabase db = QSqlDatabase::database(server_name, false);
    bool more = false;
    // The trail after the records, in the same round, then the features.
    if ((records && !SendRecords(local, db, queued, now, &more)) ||
        (trail && !SendTrail(local, db, now, &more)) ||
        (features && !SendFeatures(local, db, &more))) {
        *failed = true;
        return RETRY_MS;
    }
    const long wakes_after = wakes.load();
    const long still_queued = Count(local, "outbox");
    Publish(still_queued, Count(local, "refused"), wakes_after);
    // More may be waiting; the refused are tried again only after a while.
    return more ? 0 : RETRY_MS;
}

// The records of the outbox, or else those set aside; false when the link failed. `more` when
// the outbox may hold more.
bool Forwarder::State::SendRecords(QSqlDatabase& local, QSqlDatabase& db, long queued,
                                   std::chrono::steady_clock::time_point now, bool* more) {
    const bool from_outbox = queued > 0;
    if (!from_outbox) {
        retry_refused_at = now + REFUSED_RETRY;
    }
    const Sent sent =
        SendQueued(local, db, server_version, from_outbox ? "outbox" : "refused", BATCH, stopping);
    if (sent.failed) {
        surge_log::Write("feed", ("server " + server.Where() + " link lost, " +
                                  QString::number(queued) + " records waiting")
                                     .toStdString());
        return false;
    }
    if (sent.refused > 0) {
        surge_log::Write("feed", QStringLiteral("server %1 refused %2 records: %3")
                                     .arg(server.Where())
                                     .arg(sent.refused)
                                     .arg(sent.message)
                                     .toStdString());
        WarnOnce(&told_records_refused,
                 QString::fromUtf8(RECORDS_REFUSED).arg(server.Where(), sent.message));
    }
    *more = from_outbox && sent.sent + sent.refused > 0;
    return true;
}

// The audit trail's queue; false when the link failed. `more` also when rows went and none
// stopped the chain.
bool Forwarder::State::SendTrail(QSqlDatabase& local, QSqlDatabase& db,
                                 std::chrono::steady_clock::time_point now, bool* more) {
    const Sent sent = SendAuditQueued(local, db, server_version, BATCH, stopping);
    if (sent.failed) {
        return false;
    }
    if (sent.refused > 0) {
        retry_audit_refused_at = now + REFUSED_RETRY;
        surge_log::Write("feed", QStringLiteral("server %1 refused audit row seq %2, the rows "
                                                "after it wait: %3")
                                     .arg(server.Where())
                                     .arg(sent.refused_at)
                                     .arg(sent.message)
                                     .toStdString());
        WarnOnce(&told_audit_refused, QString::fromUtf8(AUDIT_REFUSED)
                                          .arg(server.Where(), sent.message)
                                          .arg(sent.refused_at));
    }
    *more = *more || (sent.sent > 0 && sent.refused == 0);
    return true;
}

// The features' queue; false when the link failed. `more` also when rows went.
bool Forwarder::State::SendFeatures(QSqlDatabase& local, QSqlDatabase& db, bool* more) {
    const Sent sent = SendFeaturesQueued(local, db, BATCH, stopping);
    if (sent.failed) {
        return false;
    }
    if (sent.refused > 0) {
        surge_log::Write("feed", QStringLiteral("server %1 refused the wave's features of %2 "
                                                "records: %3")
                                     .arg(server.Where())
                                     .arg(sent.refused)
                                     .arg(sent.message)
                                     .toStdString());
    }
    *more = *more || sent.sent + sent.refused > 0;
    return true;
}

void Forwarder::State::Run() {
    int pause = 0;
    while (Sleep(pause)) {
        bool failed = false;
        pause = Pass(&failed);
        if (failed) {
            linked = false;
            Drop(server_name);
            Drop(local_name);
        }
    }
    // Left behind at shutdown, the thread touches nothing the exit may have taken down.
    if (!abandoned) {
        Drop(server_name);
        Drop(local_name);
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    wake.notify_all();
}

Forwarder::Forwarder(const ServerConfig& server, const QString& local_file, Events events)
    : state_(std::make_shared<State>()) {
    state_->server = server;
    state_->local_file = local_file;
    state_->events = std::move(events);
    thread_ = std::thread([state = state_] { state->Run(); });
}

Forwarder::~Forwarder() {
    state_->alive = false;
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    state_->wake.notify_all();
    const bool done = state_->wake.wait_for(lock, std::chrono::milliseconds(STOP_WAIT_MS),
                                            [this] { return state_->done; });
    lock.unlock();
    if (done) {
        thread_.join();
    } else {
        state_->abandoned = true;
        thread_.detach();
    }
}

void Forwarder::Wake() {
    // Counted at once, so that no one reads nothing waiting before the outbox is read again.
    ++state_->wakes;
    long waiting = state_->waiting;
    while (waiting >= 0 && !state_->waiting.compare_exchange_weak(waiting, waiting + 1)) {
    }
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->woken = true;
    }
    state_->wake.notify_all();
}

void Forwarder::ReopenLocal() {
    state_->reopen_local = true;
    state_->wake.notify_all();
}

long Forwarder::Waiting() const {
    return state_->waiting;
}

long Forwarder::Refused() const {
    return state_->refused;
}

}  // namespace records
