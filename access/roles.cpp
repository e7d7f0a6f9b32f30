#include "access/roles.h"

namespace access_control {

const char* RoleName(Role role) {
    switch (role) {
        case Role::OPERATOR:
            return "operator";
        case Role::ENGINEER:
            return "engineer";
        case Role::ADMINISTRATOR:
            return "administrator";
    }
    return "operator";
}

std::optional<Role> RoleNamed(const std::string& name) {
    for (Role role : {Role::OPERATOR, Role::ENGINEER, Role::ADMINISTRATOR}) {
        if (name == RoleName(role)) {
            return role;
        }
    }
    return std::nullopt;
}

Role RoleNeeded(Command command) {
    return command == Command::CHANGE_USERS ? Role::ADMINISTRATOR : Role::ENGINEER;
}

bool RoleMay(Role role, Command command) {
    return static_cast<int>(role) >= static_cast<int>(RoleNeeded(command));
}

std::string WhoMayText(Command command) {
    return RoleNeeded(command) == Role::ADMINISTRATOR ? "관리자(administrator)만 할 수 있습니다."
                                                      : "엔지니어(engineer) 또는 관리자"
                                                        "(administrator)만 할 수 있습니다.";
}

}  // namespace access_control
