// The users page's read of the plant's server: the plant users, through the function only an
// administrator's session is answered by.
#pragma once

#include <QSqlDatabase>
#include <optional>
#include <string>
#include <vector>

namespace plant {

struct PlantUser {
    std::string name;
    std::string role;
    bool locked = false;
    std::string last_login;  // as the plant's trail has it (UTC); empty for none
};

// The users by name, as the session of `session_hash` may see them (none but an administrator's
// sees any); nothing when the server cannot be read.
std::optional<std::vector<PlantUser>> ReadPlantUsers(QSqlDatabase& db,
                                                     const std::string& session_hash);

}  // namespace plant
