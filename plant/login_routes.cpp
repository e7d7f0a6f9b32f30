// The login page, the login itself, the logout and the session's user.
#include <QSqlQuery>
#include <QVariant>

#include "access/users.h"
#include "plant/connection.h"
#include "plant/html.h"
#include "plant/json.h"
#include "plant/password_turns.h"
#include "plant/routes.h"
#include "plant/session.h"

namespace plant {

namespace {

constexpr const char* WRONG = "이름 또는 암호가 맞지 않습니다.";
constexpr const char* LOCKED = "암호가 여러 번 틀려 잠겼습니다. 잠시 후에 다시 로그인하십시요.";
constexpr const char* UNREADABLE = "서버에서 사용자 정보를 읽을 수 없습니다.";

std::string LoginPage(const std::string& message) {
    return Page("로그인",
                "<main class=\"login\"><h1>임펄스 권선 시험기 · 공장 현황</h1>"
                "<form method=\"post\" action=\"/login\">"
                "<label>이름 <input name=\"name\" autocomplete=\"username\" required></label>"
                "<label>암호 <input name=\"password\" type=\"password\" "
                "autocomplete=\"current-password\" required></label>"
                "<button type=\"submit\">로그인</button></form>" +
                    (message.empty() ? "" : "<p class=\"refused\">" + HtmlText(message) + "</p>") +
                    "</main>");
}

// "ok", "wrong", "unknown" or "locked", the session's tokens made; empty when the server cannot
// be asked.
std::string LogIn(const Settings& settings, const std::string& name, const std::string& password,
                  Session* session) {
    std::optional<QSqlDatabase> db = ThreadConnection(settings);
    if (!db) {
        return {};
    }
    QSqlQuery query(*db);
    query.prepare(QStringLiteral("SELECT hash, locked FROM surge_plant_password(?)"));
    query.addBindValue(QString::fromStdString(name));
    if (!query.exec()) {
        DropThreadConnection();
        return {};
    }
    const bool known = query.next();
    if (known && query.value(1).toBool()) {
        return "locked";
    }
    const bool matched =
        known && PasswordMatchesInTurn(query.value(0).toString().toStdString(), password);
    session->token = NewToken();
    session->csrf = NewToken();
    query.prepare(QStringLiteral("SELECT surge_plant_login(?, ?, ?, ?, ?, ?)"));
    query.addBindValue(QString::fromStdString(name));
    query.addBindValue(matched);
    query.addBindValue(QString::fromStdString(TokenHash(session->token)));
    query.addBindValue(QString::fromStdString(session->csrf));
    query.addBindValue(access_control::WRONG_PASSWORDS_TO_LOCK);
    query.addBindValue(static_cast<int>(access_control::LOCK_TIME.count()));
    if (!query.exec() || !query.next()) {
        DropThreadConnection();
        return {};
    }
    return query.value(0).toString().toStdString();
}

void Answer(httplib::Response& response, int status, const char* message) {
    response.status = status;
    response.set_content(LoginPage(message), "text/html; charset=utf-8");
}

}  // namespace

void AddLogin(httplib::Server& server, const Settings& settings) {
    server.Get("/login", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(LoginPage(""), "text/html; charset=utf-8");
    });
    server.Post(
        "/login", [&settings](const httplib::Request& request, httplib::Response& response) {
            Session session;
            const std::string outcome = LogIn(settings, request.get_param_value("name"),
                                              request.get_param_value("password"), &session);
            if (outcome == "ok") {
                response.set_header("Set-Cookie", SessionCookie(settings, session.token));
                response.set_redirect("/line", 303);
            } else if (outcome == "locked") {
                Answer(response, 423, LOCKED);
            } else if (outcome.empty()) {
                Answer(response, 503, UNREADABLE);
            } else {
                Answer(response, 401, WRONG);
            }
        });
    server.Post("/logout", [&settings](const httplib::Request&, httplib::Response& response) {
        if (std::optional<QSqlDatabase> db = ThreadConnection(settings)) {
            QSqlQuery query(*db);
            query.prepare(QStringLiteral("SELECT surge_plant_logout(?)"));
            query.addBindValue(QString::fromStdString(TokenHash(CurrentSession().token)));
            query.exec();
        }
        response.set_header("Set-Cookie", SessionCookie(settings, ""));
        response.set_redirect("/login", 303);
    });
    server.Get("/api/session", [](const httplib::Request&, httplib::Response& response) {
        const Session& session = CurrentSession();
        response.set_content("{\"user\":" + JsonString(session.user) +
                                 ",\"role\":" + JsonString(session.role) +
                                 ",\"csrf\":" + JsonString(session.csrf) + "}",
                             "application/json");
    });
}

}  // namespace plant
