#include "plant/session.h"

#include <openssl/rand.h>
#include <openssl/sha.h>

#include <QSqlQuery>
#include <QVariant>

#include "plant/connection.h"

namespace plant {

namespace {

std::string Hex(const unsigned char* bytes, size_t size) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += DIGITS[bytes[i] >> 4];
        hex += DIGITS[bytes[i] & 0xf];
    }
    return hex;
}

std::string CookieToken(const httplib::Request& request) {
    const std::string cookies = request.get_header_value("Cookie");
    const std::string name = std::string(SESSION_COOKIE) + "=";
    size_t at = 0;
    while ((at = cookies.find(name, at)) != std::string::npos) {
        if (at == 0 || cookies[at - 1] == ' ' || cookies[at - 1] == ';') {
            const size_t from = at + name.size();
            return cookies.substr(from, cookies.find(';', from) - from);
        }
        at += name.size();
    }
    return {};
}

thread_local Session current;

bool IsPublic(const httplib::Request& request) {
    return request.path == "/health" || request.path == "/login" ||
           request.path.rfind("/static/", 0) == 0;
}

}  // namespace

std::string NewToken() {
    unsigned char bytes[32];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        return {};
    }
    return Hex(bytes, sizeof bytes);
}

std::string TokenHash(const std::string& token) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(token.data()), token.size(), digest);
    return Hex(digest, sizeof digest);
}

std::string SessionCookie(const Settings& settings, const std::string& token) {
    return std::string(SESSION_COOKIE) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict" +
           (token.empty() ? "; Max-Age=0" : "") + (settings.plain_http_test_run ? "" : "; Secure");
}

std::optional<Session> SessionOf(const Settings& settings, const httplib::Request& request) {
    const std::string token = CookieToken(request);
    std::optional<QSqlDatabase> db = token.size() == 64 ? ThreadConnection(settings) : std::nullopt;
    if (!db) {
        return std::nullopt;
    }
    QSqlQuery query(*db);
    query.prepare(QStringLiteral("SELECT user_name, role, csrf FROM surge_plant_session(?, ?)"));
    query.addBindValue(QString::fromStdString(TokenHash(token)));
    query.addBindValue(settings.idle_minutes);
    if (!query.exec()) {
        DropThreadConnection();
        return std::nullopt;
    }
    if (!query.next()) {
        return std::nullopt;
    }
    return Session{token, query.value(0).toString().toStdString(),
                   query.value(1).toString().toStdString(),
                   query.value(2).toString().toStdString()};
}

void GuardRoutes(httplib::Server& server, const Settings& settings) {
    using Result = httplib::Server::HandlerResponse;
    server.set_pre_routing_handler(
        [&settings](const httplib::Request& request, httplib::Response& response) {
            current = Session{};
            if (IsPublic(request)) {
                return Result::Unhandled;
            }
            std::optional<Session> session = SessionOf(settings, request);
            if (!session) {
                if (request.path.rfind("/api/", 0) == 0) {
                    response.status = 401;
                    response.set_content(R"({"error":"login"})", "application/json");
                } else {
                    response.set_redirect("/login");
                }
                return Result::Handled;
            }
            const bool changes = request.method != "GET" && request.method != "HEAD";
            if (changes && request.get_header_value(CSRF_HEADER) != session->csrf) {
                response.status = 403;
                response.set_content(R"({"error":"csrf"})", "application/json");
                return Result::Handled;
            }
            current = *session;
            return Result::Unhandled;
        });
}

const Session& CurrentSession() {
    return current;
}

}  // namespace plant
