// A plant user's session: a random token in the cookie "surge_session", kept on the server as its
// SHA-256 alone, with a CSRF token that every POST must carry in the header X-CSRF-Token.
#pragma once

#include <httplib.h>

#include <optional>
#include <string>

#include "plant/plant_settings.h"

namespace plant {

inline constexpr const char* SESSION_COOKIE = "surge_session";
inline constexpr const char* CSRF_HEADER = "X-CSRF-Token";

struct Session {
    std::string token;  // the cookie's
    std::string user;
    std::string role;
    std::string csrf;
};

// 32 random bytes as hex.
std::string NewToken();
// The SHA-256 of a token as hex: what the server keeps of it.
std::string TokenHash(const std::string& token);
// The Set-Cookie value of `token` (empty: the cookie ended), Secure unless the settings' plain
// HTTP test run drops it.
std::string SessionCookie(const Settings& settings, const std::string& token);
// The session of the request's cookie, alive and kept alive; nothing without one.
std::optional<Session> SessionOf(const Settings& settings, const httplib::Request& request);

// The gate before every route: /health, /login and the pages' scripts and style (/static/)
// answer anyone; any other page without a
// session goes to /login, an API answers 401; a POST whose CSRF token is not the session's
// answers 403. The session let through is the request's CurrentSession().
void GuardRoutes(httplib::Server& server, const Settings& settings);
const Session& CurrentSession();

}  // namespace plant
