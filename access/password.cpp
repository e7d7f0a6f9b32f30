#include "access/password.h"

#include <sodium.h>

namespace access_control {

namespace {

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

}  // namespace

std::string HashPassword(const std::string& password) {
    char hash[crypto_pwhash_STRBYTES] = {0};
    if (!SodiumReady() || crypto_pwhash_str(hash, password.data(), password.size(),
                                            crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                            crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        return std::string();
    }
    return hash;
}

bool PasswordMatches(const std::string& hash, const std::string& password) {
    return SodiumReady() && !hash.empty() &&
           crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

}  // namespace access_control
