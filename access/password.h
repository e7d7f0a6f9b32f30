// Passwords as the users table keeps them: Argon2id hashes (libsodium's crypto_pwhash_str at its
// interactive limits), never the password itself.
#pragma once

#include <string>

namespace access_control {

// The hash to store; empty when it cannot be made (no memory).
std::string HashPassword(const std::string& password);
// True when `password` is the one `hash` was made of.
bool PasswordMatches(const std::string& hash, const std::string& password);

}  // namespace access_control
