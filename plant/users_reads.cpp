#include "plant/users_reads.h"

#include <QSqlQuery>
#include <QVariant>

namespace plant {

std::optional<std::vector<PlantUser>> ReadPlantUsers(QSqlDatabase& db,
                                                     const std::string& session_hash) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT name, role, locked, COALESCE(last_login, '') FROM surge_plant_user_list(?)"));
    query.addBindValue(QString::fromStdString(session_hash));
    if (!query.exec()) {
        return std::nullopt;
    }
    std::vector<PlantUser> users;
    while (query.next()) {
        users.push_back({query.value(0).toString().toStdString(),
                         query.value(1).toString().toStdString(), query.value(2).toBool(),
                         query.value(3).toString().toStdString()});
    }
    return users;
}

}  // namespace plant
