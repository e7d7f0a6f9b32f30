#include "records/forwarder.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <vector>

#include "records/columns.h"
#include "records/schema.h"

namespace records {

namespace {

constexpr const char* SERVER_REFUSED =
    "검사 이력 서버에 접속할 수 없습니다 (%1).\n"
    "검사 이력은 이 검사기에 기록되고 있습니다. 서버 주소, 데이터베이스 이름, 사용자와 암호를 "
    "확인하십시요.";
constexpr const char* SERVER_NEWER =
    "검사 이력 서버의 데이터베이스가 이 프로그램보다 새 버전입니다 (%1, 버전 %2).\n"
    "검사 이력은 이 검사기에만 기록됩니다. 프로그램을 새 버전으로 바꾸십시요.";

constexpr int BATCH = 200;
constexpr int RETRY_MS = 1000;
constexpr int NEWER_RETRY_MS = 60000;
constexpr const char* LOCAL = "surge_history_forward_local";
constexpr const char* SERVER = "surge_history_forward_server";
constexpr int SCHEMA_LOCK = 20261209;

enum class Link { Ok, Down, Refused, Newer };

void Drop(const char* name) {
    if (QSqlDatabase::contains(QLatin1String(name))) {
        QSqlDatabase::database(QLatin1String(name), false).close();
        QSqlDatabase::removeDatabase(QLatin1String(name));
    }
}

bool OpenLocal(const QString& file) {
    if (QSqlDatabase::database(QLatin1String(LOCAL), false).isOpen()) {
        return true;
    }
    Drop(LOCAL);
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(LOCAL));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        // A lost acknowledgement only sends a record again: no sync of its own is needed.
        ok = db.open() && QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
    if (!ok) {
        Drop(LOCAL);
    }
    return ok;
}

long CountOutbox(const QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM outbox")) || !query.next()) {
        return -1;
    }
    return query.value(0).toLongLong();
}

// Creates the server's tables or brings them to this station's version, one station at a time.
Link CheckSchema(QSqlDatabase& db, int* version) {
    QSqlQuery query(db);
    // The usual case, a server at this version, needs no lock.
    if (query.exec(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_version")) &&
        query.next() && query.value(0).toInt() >= SCHEMA_VERSION) {
        *version = query.value(0).toInt();
        return *version > SCHEMA_VERSION ? Link::Newer : Link::Ok;
    }
    const auto run = [&](const QString& sql) { return query.exec(sql); };
    if (!db.transaction()) {
        return Link::Down;
    }
    bool ok = run(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SCHEMA_LOCK)) &&
              run(QString::fromLatin1(CREATE_SCHEMA_VERSION)) &&
              run(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_version")) &&
              query.next();
    *version = ok ? query.value(0).toInt() : 0;
    if (ok && *version > SCHEMA_VERSION) {
        db.rollback();
        return Link::Newer;
    }
    if (ok && *version == 0) {
        ok = run(QString::fromStdString(CreateServerInspection()));
        for (const Index& index : READ_INDEXES) {
            ok = ok && run(QString::fromStdString(CreateIndex(index, SERVER_RECORD_TABLE)));
        }
        ok = ok && run(QString::fromLatin1(CREATE_SERVER_STATION_INDEX)) &&
             run(QStringLiteral("INSERT INTO schema_version VALUES (%1)").arg(SCHEMA_VERSION));
    } else if (ok && *version < SCHEMA_VERSION) {
        for (const std::string& statement : ServerUpgrade(*version)) {
            ok = ok && run(QString::fromStdString(statement));
        }
        ok =
            ok && run(QStringLiteral("UPDATE schema_version SET version = %1").arg(SCHEMA_VERSION));
    }
    if (!ok || !db.commit()) {
        db.rollback();
        return Link::Down;
    }
    return Link::Ok;
}

// A server that answered and turned the station away (password, user, database) is refused;
// one that did not answer is down.
Link Connect(const ServerConfig& server, int* version) {
    Drop(SERVER);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QLatin1String(SERVER));
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setDatabaseName(server.database);
    db.setUserName(server.user);
    db.setPassword(server.password);
    db.setConnectOptions(QStringLiteral(
        "connect_timeout=2;keepalives_idle=5;keepalives_interval=2;keepalives_count=2;"
        "tcp_user_timeout=5000"));
    if (!db.open()) {
        const QString text = db.lastError().databaseText();
        return text.contains(QLatin1String("FATAL")) || text.contains(QLatin1String("password"))
                   ? Link::Refused
                   : Link::Down;
    }
    if (!QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = 5000"))) {
        return Link::Down;
    }
    return CheckSchema(db, version);
}

// Sends the outbox's oldest records in one transaction and, once the server has committed them,
// deletes them from the outbox. Returns the number sent, -1 on a failure.
int SendBatch(QSqlDatabase& local, QSqlDatabase& server) {
    QSqlQuery read(local);
    read.setForwardOnly(true);
    const int columns = StoredColumnCount();
    if (!read.exec(QStringLiteral("SELECT o.record, %1 FROM outbox o JOIN inspection i ON "
                                  "i.id = o.record ORDER BY o.record LIMIT %2")
                       .arg(StoredColumnList(QStringLiteral("i.")))
                       .arg(BATCH))) {
        return -1;
    }
    std::vector<std::vector<QVariant>> rows;
    qlonglong last = 0;
    while (read.next()) {
        last = read.value(0).toLongLong();
        std::vector<QVariant> row;
        for (int i = 1; i <= columns; ++i) {
            row.push_back(read.value(i));
        }
        rows.push_back(std::move(row));
    }
    read.finish();
    if (rows.empty()) {
        return 0;
    }
    if (!server.transaction()) {
        return -1;
    }
    QSqlQuery insert(server);
    QString marks = QStringLiteral("?");
    for (int i = 1; i < columns; ++i) {
        marks += QStringLiteral(", ?");
    }
    if (!insert.prepare(QStringLiteral("INSERT INTO inspection (%1) VALUES (%2) ON CONFLICT "
                                       "(station, uuid) DO NOTHING")
                            .arg(StoredColumnList(), marks))) {
        server.rollback();
        return -1;
    }
    for (const auto& row : rows) {
        for (int i = 0; i < columns; ++i) {
            insert.bindValue(i, row[static_cast<std::size_t>(i)]);
        }
        if (!insert.exec()) {
            server.rollback();
            return -1;
        }
    }
    if (!server.commit()) {
        server.rollback();
        return -1;
    }
    QSqlQuery done(local);
    done.prepare(QStringLiteral("DELETE FROM outbox WHERE record <= ?"));
    done.addBindValue(last);
    // Not deleted, the records are sent again, and the server keeps them once.
    done.exec();
    return static_cast<int>(rows.size());
}

}  // namespace

Forwarder::Forwarder(const ServerConfig& server, const QString& local_file, Events events)
    : server_(server),
      local_file_(local_file),
      events_(std::move(events)),
      alive_(std::make_shared<std::atomic<bool>>(true)),
      thread_([this] { Run(); }) {}

Forwarder::~Forwarder() {
    *alive_ = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Forwarder::Wake() {
    // Counted at once, so that no one reads nothing waiting before the outbox is read again.
    long waiting = waiting_;
    while (waiting >= 0 && !waiting_.compare_exchange_weak(waiting, waiting + 1)) {
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

bool Forwarder::Sleep(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return woken_ || stopping_; });
    woken_ = false;
    return !stopping_;
}

void Forwarder::Post(std::function<void()> call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        app,
        [alive = alive_, call = std::move(call)] {
            if (*alive) {
                call();
            }
        },
        Qt::QueuedConnection);
}

void Forwarder::PublishWaiting(long waiting) {
    if (waiting_.exchange(waiting) != waiting && events_.waiting) {
        Post([this, waiting] { events_.waiting(waiting); });
    }
}

void Forwarder::WarnOnce(bool* told, const QString& text) {
    if (!*told && events_.warn) {
        *told = true;
        Post([this, text] { events_.warn(text); });
    }
}

void Forwarder::Run() {
    bool linked = false;
    int pause = 0;
    while (Sleep(pause)) {
        bool failed = false;
        pause = Pass(&linked, &failed);
        if (failed) {
            linked = false;
            Drop(SERVER);
            Drop(LOCAL);
        }
    }
    Drop(SERVER);
    Drop(LOCAL);
}

int Forwarder::Pass(bool* linked, bool* failed) {
    if (reopen_local_.exchange(false)) {
        Drop(LOCAL);
    }
    if (!OpenLocal(local_file_)) {
        return RETRY_MS;
    }
    QSqlDatabase local = QSqlDatabase::database(QLatin1String(LOCAL), false);
    const long waiting = CountOutbox(local);
    PublishWaiting(waiting);
    if (waiting < 0) {
        *failed = true;
        return RETRY_MS;
    }
    // Connected before the first record waits, so that it need not wait for the connection.
    if (!*linked) {
        int version = 0;
        const Link link = Connect(server_, &version);
        if (link == Link::Refused) {
            WarnOnce(&told_refused_, QString::fromUtf8(SERVER_REFUSED).arg(server_.Where()));
        } else if (link == Link::Newer) {
            WarnOnce(&told_newer_,
                     QString::fromUtf8(SERVER_NEWER).arg(server_.Where()).arg(version));
        }
        *linked = link == Link::Ok;
        if (!*linked) {
            Drop(SERVER);
            return link == Link::Newer ? NEWER_RETRY_MS : RETRY_MS;
        }
    }
    if (waiting == 0) {
        return RETRY_MS;
    }
    QSqlDatabase server = QSqlDatabase::database(QLatin1String(SERVER), false);
    const int sent = SendBatch(local, server);
    if (sent < 0) {
        *failed = true;
        return RETRY_MS;
    }
    PublishWaiting(CountOutbox(local));
    return sent == 0 ? RETRY_MS : 0;  // more may be waiting
}

}  // namespace records
