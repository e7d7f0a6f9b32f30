// The service's Argon2id work, one password at a time: each hash or check holds 64 MB for its
// moment (libsodium's interactive limit), so logins at once wait their turn rather than add up.
#pragma once

#include <string>

namespace plant {

bool PasswordMatchesInTurn(const std::string& hash, const std::string& password);
std::string HashPasswordInTurn(const std::string& password);

}  // namespace plant
