// The one call behind a plant user's change, on an open connection: surge_plant_user_change
// with a session's token hash, or surge_plant_user_set with the DBA's login as who made it.
#pragma once

#include <QSqlDatabase>
#include <string>

#include "plant/user_changes.h"

namespace plant {

// `session_hash` empty: the DBA's change. The outcome as ChangeUserOnServer gives it.
std::string RunUserChange(QSqlDatabase& db, const std::string& session_hash,
                          const UserChange& change, std::string* problem);

}  // namespace plant
