#include "plant/password_turns.h"

#include <mutex>

#include "access/password.h"

namespace plant {

namespace {

std::mutex& Turn() {
    static std::mutex turn;
    return turn;
}

}  // namespace

bool PasswordMatchesInTurn(const std::string& hash, const std::string& password) {
    const std::lock_guard<std::mutex> held(Turn());
    return access_control::PasswordMatches(hash, password);
}

std::string HashPasswordInTurn(const std::string& password) {
    const std::lock_guard<std::mutex> held(Turn());
    return access_control::HashPassword(password);
}

}  // namespace plant
