#include "plant/connection.h"

#include <QSqlQuery>
#include <atomic>

#include "records/server_config.h"
#include "records/server_link.h"

namespace plant {

namespace {

const QString& ThreadName() {
    static std::atomic<int> next{0};
    thread_local const QString name = QStringLiteral("surge_plant_%1").arg(next++);
    return name;
}

records::ServerConfig ServerOf(const Settings& settings) {
    records::ServerConfig server;
    server.host = QString::fromStdString(settings.db_host);
    server.port = settings.db_port;
    server.database = QString::fromStdString(settings.db_name);
    server.user = QString::fromStdString(settings.db_user);
    server.password = QString::fromStdString(settings.db_password);
    server.tls = QString::fromStdString(settings.db_tls);
    return server;
}

}  // namespace

std::optional<QSqlDatabase> ThreadConnection(const Settings& settings) {
    QSqlDatabase db = QSqlDatabase::database(ThreadName(), false);
    if (db.isValid() && db.isOpen()) {
        return db;
    }
    QString reason;
    if (records::ConnectToRead(ServerOf(settings), ThreadName(), &reason) != records::Link::Ok) {
        records::Drop(ThreadName());
        return std::nullopt;
    }
    db = QSqlDatabase::database(ThreadName(), false);
    // The pages' reads are short and many: compiling one takes longer than it saves.
    QSqlQuery(db).exec(QStringLiteral("SET jit = off"));
    return db;
}

void DropThreadConnection() {
    records::Drop(ThreadName());
}

}  // namespace plant
