// A plant user added, re-roled, given a password, locked, unlocked or removed: by an
// administrator's session through the service, or by the plant's DBA with surge-users --server on
// SURGE_HISTORY_DB's connection. Either is a row of the plant's trail, made by the server's
// functions.
#pragma once

#include <string>

namespace plant {

struct UserChange {
    std::string action;  // "add", "role", "password", "lock", "unlock" or "remove"
    std::string name;
    std::string role;      // add, role: "viewer", "engineer" or "administrator"
    std::string password;  // add, password: hashed here with Argon2id, never sent
};

// What the server made of it: "done", "refused" (not an administrator's session), "no such
// user", "exists"; "invalid" for a change that is none; empty, with `problem`, when the server
// cannot be asked.
std::string ChangeUserOnServer(const UserChange& change, std::string* problem);

}  // namespace plant
