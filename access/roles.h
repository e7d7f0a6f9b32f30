// Who may give which command: the three roles and the commands that need more than an operator.
// Plain C++, so that the station and surge-users read the same table.
#pragma once

#include <optional>
#include <string>

namespace access_control {

enum class Role { OPERATOR, ENGINEER, ADMINISTRATOR };

// "operator", "engineer", "administrator": the users table's and the audit rows' words.
const char* RoleName(Role role);
std::optional<Role> RoleNamed(const std::string& name);

// The commands a role may be refused. Start, stop, the serial number, the export, quit, the
// registration panel's reading of the instrument, the choice of a master and the history's
// records are every role's.
enum class Command {
    CHANGE_MASTER,   // save, overwrite, delete a master (asks the password again)
    CHOOSE_PROGRAM,  // choose the spreadsheet program (asks the password again)
    VIEW_AUDIT,      // the history panel's audit rows
    OVERRIDE_GATE,   // a gate's override or acknowledgement
    CHANGE_USERS,    // add, disable, re-role a user, set a password
};

// The least role that may give `command`.
Role RoleNeeded(Command command);
bool RoleMay(Role role, Command command);
// The tooltip of a command dimmed for the role: who may give it.
std::string WhoMayText(Command command);

}  // namespace access_control
