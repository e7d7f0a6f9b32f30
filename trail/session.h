// Who is at the station: the user logged in and their role, "-" for both without access control.
#pragma once

#include <string>

namespace trail {

struct User {
    std::string name = "-";
    std::string role = "-";
};

const User& CurrentUser();
void SetCurrentUser(const User& user);
// The name a record carries as its operator: empty without a login.
std::string OperatorName();

}  // namespace trail
