#include "trail/session.h"

namespace trail {

namespace {

User current;

}  // namespace

const User& CurrentUser() {
    return current;
}

void SetCurrentUser(const User& user) {
    current = user;
}

std::string OperatorName() {
    return current.name == "-" ? std::string() : current.name;
}

}  // namespace trail
