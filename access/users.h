// The station's users, in its file's table `users`: each with a role, an Argon2id hash of the
// password, an optional badge code that logs in with the password too, and the wrong passwords
// in a row. Five in a row lock the user for five minutes; the lock is on the file, so a restart
// keeps it. Every change is an audit row by the user logged in.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "access/roles.h"
#include "trail/session.h"

namespace access_control {

constexpr int WRONG_PASSWORDS_TO_LOCK = 5;
constexpr std::chrono::minutes LOCK_TIME{5};

struct UserEntry {
    std::string name;
    std::string badge;
    std::string role;
    bool disabled = false;
    int failures = 0;
    std::string locked_until;  // ISO 8601, empty when not locked
};

// Whether the users can be read from the station's file and whether there are any.
enum class UsersState { SOME, NONE, UNREADABLE };
UsersState ReadUsersState();

// UNVOUCHED: the user's row in the table is not what the audit trail's rows of the user say (a
// role, a password or a state changed outside the station and surge-users).
enum class LoginOutcome { OK, WRONG, LOCKED, UNKNOWN, DISABLED, UNVOUCHED, UNREADABLE };
struct LoginCheck {
    LoginOutcome outcome = LoginOutcome::UNREADABLE;
    trail::User user;          // the user named (OK, UNVOUCHED), as the table has them
    std::string locked_until;  // LOCKED: until when
    std::string differs;       // UNVOUCHED: what differs ("role", "password", "disabled", "added")
};
// Checks `password` for the user named by `name_or_badge`: the user's row against the trail, then
// the password. A guess is counted before the password is checked, so that no more than
// WRONG_PASSWORDS_TO_LOCK are checked however many come at once; a right one clears the count,
// the fifth wrong in a row locks. Audits a failed login and a lock (never the password, nor a name
// the table does not know).
LoginCheck CheckLogin(const std::string& name_or_badge, const std::string& password);
// Records in the trail the password hash of each user it has none of (a file of an earlier
// version), so that from now on a hash changed in the table is told.
void VouchForUsers();
// Whether `name` can name a user: printable characters, no blank at either end.
bool UsableName(const std::string& name);

// The changes; false, with the reason in `problem`, when the change is refused or not written
// (USERS_NOT_WRITTEN: the file did not take it).
inline constexpr const char* USERS_NOT_WRITTEN = "사용자 정보를 쓸 수 없습니다";
bool AddUser(const std::string& name, Role role, const std::string& password,
             const std::string& badge, std::string* problem);
bool DisableUser(const std::string& name, std::string* problem);
bool SetUserRole(const std::string& name, Role role, std::string* problem);
bool SetUserPassword(const std::string& name, const std::string& password, std::string* problem);
// Every user, by name; false when the file cannot be read.
bool ListUsers(std::vector<UserEntry>* users);
// True when an administrator who is not disabled exists.
bool HasAdministrator();

// The station's file is "inspection_history.db" in the working directory; surge-users names
// another. Before the first use.
void UseUsersFile(const std::string& path);
// The time the lock is counted by (tests set it; nullptr: the clock).
using Clock = std::chrono::system_clock::time_point (*)();
void SetUsersClock(Clock clock);

}  // namespace access_control
