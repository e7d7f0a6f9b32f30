// The plant view's part of a server that setup-server makes (PLANT_LAYOUT): its users, their
// sessions and a trail of their own, a chain of SHA-256 hashes, in tables owned by SERVER_OWNER.
// The service's role, PLANT_ROLE, reads the records and the trails and changes these tables only
// through the functions made here; a plant user's change by the plant's DBA (surge-users --server)
// goes through surge_plant_user_set, which that role may not call.
#pragma once

#include <string>
#include <vector>

#include "trail/audit_row.h"

namespace trail {

// The role of the plant view's service; setup-server grants it to the login it is given.
inline constexpr const char* PLANT_ROLE = "surge_plant";
// The channel a record's arrival is told on (its station's name the payload), for the live pages.
inline constexpr const char* RECORD_CHANNEL = "surge_record";
// The plant users' roles, lowest first.
inline constexpr const char* PLANT_ROLES[] = {"viewer", "engineer", "administrator"};
// A plant user removed, in the plant's trail (the station's users are disabled, never removed).
inline constexpr const char* AUDIT_PLANT_USER_REMOVED = "user removed";
// A plant user locked by an administrator until unlocked, and unlocked (the lockout's guesses
// forgotten).
inline constexpr const char* AUDIT_PLANT_USER_LOCKED = "user locked";
inline constexpr const char* AUDIT_PLANT_USER_UNLOCKED = "user unlocked";

// The text a row of the plant's trail is hashed as (surge_plant_audit): seq, at, user, action,
// object, before, after and the previous row's hash, one a line. Its other fields are not kept.
std::string PlantTrailText(const AuditRow& row);

// The statements that make the plant view's tables and functions; `schema` is where they live
// (quoted), for the functions' search path.
std::vector<std::string> PlantLayoutStatements(const std::string& schema);

}  // namespace trail
