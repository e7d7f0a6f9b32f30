// The users page, for an administrator only: GET /users (its table and forms by
// /static/users.js), GET /api/users, the plant users, and GET /api/users.csv. A viewer or an
// engineer is answered 403.
#include "plant/connection.h"
#include "plant/csv.h"
#include "plant/html.h"
#include "plant/json.h"
#include "plant/routes.h"
#include "plant/session.h"
#include "plant/users_reads.h"

namespace plant {

namespace {

bool Administrator() {
    return CurrentSession().role == "administrator";
}

// The users, or nothing with the answer made: 403 for a session not an administrator's, 503 when
// the server cannot be read.
std::optional<std::vector<PlantUser>> UsersAsked(const Settings& settings,
                                                 httplib::Response& response) {
    if (!Administrator()) {
        response.status = 403;
        response.set_content(R"({"error":"refused"})", "application/json");
        return std::nullopt;
    }
    std::optional<QSqlDatabase> db = ThreadConnection(settings);
    auto users = db ? ReadPlantUsers(*db, TokenHash(CurrentSession().token)) : std::nullopt;
    if (!users) {
        DropThreadConnection();
        response.status = 503;
        response.set_content(R"({"error":"database"})", "application/json");
    }
    return users;
}

constexpr const char* USERS_BODY = R"html(<main>
<div class="table-box"><table class="users"><thead><tr><th>이름</th><th>역할</th><th>잠김</th>
<th>마지막 로그인 (UTC)</th></tr></thead><tbody id="users"></tbody></table></div>
<p><a id="csv" href="/api/users.csv">CSV</a></p>
<p id="state"></p>
<section class="user-forms">
<form data-action="add"><h2>사용자 추가</h2><label>이름 <input name="name" required></label>
<label>역할 <select name="role"><option>viewer</option><option>engineer</option>
<option>administrator</option></select></label>
<label>비밀번호 <input name="password" type="password" autocomplete="new-password" required></label>
<button type="submit">추가</button></form>
<form data-action="role"><h2>역할 변경</h2><label>이름 <input name="name" required></label>
<label>역할 <select name="role"><option>viewer</option><option>engineer</option>
<option>administrator</option></select></label><button type="submit">변경</button></form>
<form data-action="password"><h2>비밀번호 재설정</h2><label>이름 <input name="name" required></label>
<label>새 비밀번호 <input name="password" type="password" autocomplete="new-password" required>
</label><button type="submit">재설정</button></form>
<form data-action="lock"><h2>잠금 / 해제</h2><label>이름 <input name="name" required></label>
<label>상태 <select name="action"><option value="lock">잠금</option>
<option value="unlock">해제</option></select></label><button type="submit">적용</button></form>
</section>
<p id="outcome"></p>
</main>
<script src="/static/api.js"></script>
<script src="/static/users.js"></script>)html";

constexpr const char* REFUSED_BODY =
    "<main><p class=\"refused\">사용자 관리는 관리자만 볼 수 있습니다.</p></main>";

}  // namespace

void AddUserList(httplib::Server& server, const Settings& settings) {
    server.Get("/api/users", [&settings](const httplib::Request&, httplib::Response& response) {
        const auto users = UsersAsked(settings, response);
        if (!users) {
            return;
        }
        std::string json = "{\"users\":[";
        for (const PlantUser& user : *users) {
            json += (json.back() == '[' ? "" : ",") + std::string("{") +
                    JsonField("name", user.name) + "," + JsonField("role", user.role) +
                    ",\"locked\":" + (user.locked ? "true" : "false") + "," +
                    JsonField("last_login", user.last_login) + "}";
        }
        response.set_content(json + "]}", "application/json");
    });
    server.Get("/api/users.csv", [&settings](const httplib::Request&, httplib::Response& response) {
        if (const auto users = UsersAsked(settings, response)) {
            std::vector<std::vector<std::string>> rows = {
                {"이름", "역할", "잠김", "마지막 로그인"}};
            for (const PlantUser& user : *users) {
                rows.push_back(
                    {user.name, user.role, user.locked ? "예" : "아니오", user.last_login});
            }
            SendCsv(response, rows, "users.csv");
        }
    });
    server.Get("/users", [](const httplib::Request&, httplib::Response& response) {
        const std::string header =
            PageHeader("사용자", CurrentSession().user, CurrentSession().role);
        if (!Administrator()) {
            response.status = 403;
        }
        response.set_content(Page("사용자", header + (Administrator() ? USERS_BODY : REFUSED_BODY)),
                             "text/html; charset=utf-8");
    });
}

}  // namespace plant
