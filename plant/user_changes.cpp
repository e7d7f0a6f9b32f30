#include "plant/user_changes.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <iterator>

#include "plant/password_turns.h"
#include "plant/user_change_query.h"
#include "records/server_config.h"
#include "records/server_link.h"
#include "trail/plant_layout.h"

namespace plant {

namespace {

const QString CONNECTION = QStringLiteral("surge_plant_users");

bool Valid(const UserChange& change) {
    const bool with_role = change.action == "add" || change.action == "role";
    const bool with_password = change.action == "add" || change.action == "password";
    const bool known_role = std::find(std::begin(trail::PLANT_ROLES), std::end(trail::PLANT_ROLES),
                                      change.role) != std::end(trail::PLANT_ROLES);
    return !change.name.empty() && (with_role ? known_role : change.role.empty()) &&
           (with_password ? !change.password.empty() : change.password.empty()) &&
           (with_role || with_password || change.action == "remove" || change.action == "lock" ||
            change.action == "unlock");
}

}  // namespace

std::string RunUserChange(QSqlDatabase& db, const std::string& session_hash,
                          const UserChange& change, std::string* problem) {
    if (!Valid(change)) {
        return "invalid";
    }
    const std::string hash =
        change.password.empty() ? std::string() : HashPasswordInTurn(change.password);
    QSqlQuery query(db);
    query.prepare(session_hash.empty()
                      ? QStringLiteral("SELECT surge_plant_user_set(session_user, ?, ?, ?, ?)")
                      : QStringLiteral("SELECT surge_plant_user_change(?, ?, ?, ?, ?)"));
    if (!session_hash.empty()) {
        query.addBindValue(QString::fromStdString(session_hash));
    }
    for (const std::string* value : {&change.action, &change.name, &change.role, &hash}) {
        query.addBindValue(QString::fromStdString(*value));
    }
    if (!query.exec() || !query.next()) {
        *problem = query.lastError().databaseText().trimmed().toStdString();
        return {};
    }
    return query.value(0).toString().toStdString();
}

std::string ChangeUserOnServer(const UserChange& change, std::string* problem) {
    QString error;
    const std::optional<records::ServerConfig> server = records::ReadServerConfig(&error);
    if (!server) {
        *problem = error.isEmpty() ? "SURGE_HISTORY_DB is not set" : error.toStdString();
        return {};
    }
    std::string outcome;
    if (records::ConnectToRead(*server, CONNECTION, &error) != records::Link::Ok) {
        *problem =
            "cannot reach the server " + server->Where().toStdString() + ": " + error.toStdString();
    } else {
        QSqlDatabase db = QSqlDatabase::database(CONNECTION, false);
        outcome = RunUserChange(db, "", change, problem);
    }
    records::Drop(CONNECTION);
    return outcome;
}

}  // namespace plant
