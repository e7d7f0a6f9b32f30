// Who may see the plant view: no page without a session but /health, a login and its lockout,
// the cookie's flags, a user change only by an administrator's session with its CSRF token, and
// the DBA's changes with surge-users --server, each a row of the plant's trail.
#include "access/users.h"
#include "tests/plant/plant_fixture.h"

namespace {

// Without a session: a page goes to /login, an API answers 401.
struct Refusal {
    const char* name;
    const char* method;
    const char* path;
    int status;
};

class RefusedTest : public PlantSuite, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedTest, WithoutASession) {
    StartService(SettingsHere());
    const Refusal& refusal = GetParam();
    const httplib::Headers stale{{"Cookie", "surge_session=" + std::string(64, 'a')}};
    for (const httplib::Headers& headers : {httplib::Headers{}, stale}) {
        const httplib::Result result = std::string(refusal.method) == "GET"
                                           ? Client().Get(refusal.path, headers)
                                           : Client().Post(refusal.path, headers, "", "text/plain");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, refusal.status);
        if (refusal.status == 302) {
            EXPECT_EQ(result->get_header_value("Location"), "/login");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Plant, RefusedTest,
                         ::testing::Values(Refusal{"Page", "GET", "/line", 302},
                                           Refusal{"Root", "GET", "/", 302},
                                           Refusal{"Unknown", "GET", "/no/such/page", 302},
                                           Refusal{"LineApi", "GET", "/api/line", 401},
                                           Refusal{"SessionApi", "GET", "/api/session", 401},
                                           Refusal{"UserChange", "POST", "/api/users", 401},
                                           Refusal{"UsersPage", "GET", "/users", 302},
                                           Refusal{"UsersApi", "GET", "/api/users", 401},
                                           Refusal{"TrailPage", "GET", "/trail", 302},
                                           Refusal{"Logout", "POST", "/logout", 302}),
                         [](const ::testing::TestParamInfo<Refusal>& info) {
                             return info.param.name;
                         });

// A session ends at a logout, or once idle longer than the settings allow.
struct EndCase {
    const char* name;
    bool logout;
    const char* idle;  // how long the session was idle, as PostgreSQL's interval
    int status;        // of /api/session after
};

class SessionEndTest : public PlantSuite, public ::testing::WithParamInterface<EndCase> {};

TEST_P(SessionEndTest, Ends) {
    StartService(SettingsHere());
    const EndCase& end = GetParam();
    const std::string user = std::string("ends_") + end.name;
    AddUser(user, "viewer");
    const httplib::Headers session = SessionOf(user);
    if (end.logout) {
        EXPECT_EQ(Client().Post("/logout", session, "", "text/plain")->status, 303);
    }
    server_->Value(
        std::string("UPDATE plant_session SET last_seen = clock_timestamp() - interval '") +
        end.idle + "' WHERE user_name = '" + user + "'");
    EXPECT_EQ(Client().Get("/api/session", session)->status, end.status);
}

INSTANTIATE_TEST_SUITE_P(Plant, SessionEndTest,
                         ::testing::Values(EndCase{"Used", false, "29 minutes", 200},
                                           EndCase{"Idle", false, "31 minutes", 401},
                                           EndCase{"LoggedOut", true, "0 minutes", 401}),
                         [](const ::testing::TestParamInfo<EndCase>& info) {
                             return info.param.name;
                         });

// A login: the answer, and the cookie's flags where one is set.
struct LoginCase {
    const char* name;
    const char* user;  // made a viewer, unless empty
    const char* password;
    bool plain_http_test_run;
    int status;
    const char* cookie_flags;
};

class LoginTest : public PlantSuite, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginTest, Answers) {
    const LoginCase& login = GetParam();
    plant::Settings settings = SettingsHere();
    settings.plain_http_test_run = login.plain_http_test_run;
    StartService(settings);
    const std::string user = std::string("login_") + login.name;
    AddUser(user, "viewer");
    const httplib::Result result = LogIn(login.user[0] == '\0' ? "nobody" : user, login.password);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, login.status);
    const std::string cookie = result->get_header_value("Set-Cookie");
    EXPECT_EQ(cookie.empty() ? std::string() : cookie.substr(cookie.find(';')), login.cookie_flags);
}

INSTANTIATE_TEST_SUITE_P(
    Plant, LoginTest,
    ::testing::Values(LoginCase{"Right", "x", "pw-login_Right", false, 303,
                                "; Path=/; HttpOnly; SameSite=Strict; Secure"},
                      LoginCase{"PlainHttpTestRun", "x", "pw-login_PlainHttpTestRun", true, 303,
                                "; Path=/; HttpOnly; SameSite=Strict"},
                      LoginCase{"Wrong", "x", "pw-someone-else", false, 401, ""},
                      LoginCase{"Unknown", "", "pw-nobody", false, 401, ""}),
    [](const ::testing::TestParamInfo<LoginCase>& info) { return info.param.name; });

TEST_F(PlantSuite, FifthWrongPasswordLocksTheUserEvenAgainstTheRightOne) {
    StartService(SettingsHere());
    AddUser("guessed", "viewer");
    for (int guess = 1; guess < access_control::WRONG_PASSWORDS_TO_LOCK; ++guess) {
        EXPECT_EQ(LogIn("guessed", "wrong")->status, 401);
    }
    EXPECT_EQ(LogIn("guessed", "wrong")->status, 423);
    EXPECT_EQ(LogIn("guessed", "pw-guessed")->status, 423);
    EXPECT_EQ(server_->Value("SELECT string_agg(action, ',' ORDER BY seq) FROM plant_trail "
                             "WHERE user_name = 'guessed'"),
              "failed login,failed login,failed login,failed login,failed login,lock");
}

// POST /api/users: only an administrator's session, with its CSRF token; the users page and its
// list only for an administrator.
struct ChangeCase {
    const char* name;
    const char* role;
    bool csrf;
    int status;
    int list_status;  // of /users, /api/users and /api/users.csv
};

class UserChangeTest : public PlantSuite, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(UserChangeTest, OnlyByAnAdministrator) {
    StartService(SettingsHere());
    const ChangeCase& change = GetParam();
    const std::string by = std::string("by_") + change.name;
    const std::string made = std::string("made_") + change.name;
    AddUser(by, change.role);
    const httplib::Result result = Client().Post(
        "/api/users", SessionOf(by, change.csrf),
        httplib::Params{
            {"action", "add"}, {"name", made}, {"role", "viewer"}, {"password", "pw-" + made}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, change.status);
    EXPECT_EQ(server_->Value("SELECT COUNT(*) FROM plant_trail WHERE object = '" + made +
                             "' AND user_name = '" + by + "' AND action = 'user added'"),
              change.status == 200 ? "1" : "0");
    const httplib::Headers session = SessionOf(by, change.csrf);
    for (const char* path : {"/users", "/api/users", "/api/users.csv"}) {
        const httplib::Result list = Client().Get(path, session);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->status, change.list_status) << path;
        EXPECT_EQ(list->body.find("\"" + by + "\"") != std::string::npos,
                  change.list_status == 200 && std::string(path) == "/api/users")
            << path;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Plant, UserChangeTest,
    ::testing::Values(ChangeCase{"Administrator", "administrator", true, 200, 200},
                      ChangeCase{"Viewer", "viewer", true, 403, 403},
                      ChangeCase{"Engineer", "engineer", true, 403, 403},
                      ChangeCase{"AdministratorWithoutCsrf", "administrator", false, 403, 200}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return info.param.name; });

// An administrator locks a user until unlocked; the login answers accordingly.
struct LockCase {
    const char* name;
    std::vector<const char*> actions;
    int login_status;
    const char* trail;  // the user's rows by the administrator
};

class LockTest : public PlantSuite, public ::testing::WithParamInterface<LockCase> {};

TEST_P(LockTest, ByAnAdministrator) {
    StartService(SettingsHere());
    const LockCase& lock = GetParam();
    const std::string user = std::string("locked_") + lock.name;
    const std::string by = std::string("locker_") + lock.name;
    AddUser(by, "administrator");
    AddUser(user, "viewer");
    const httplib::Headers session = SessionOf(by);
    for (const char* action : lock.actions) {
        EXPECT_EQ(
            Client()
                .Post("/api/users", session, httplib::Params{{"action", action}, {"name", user}})
                ->status,
            200);
    }
    EXPECT_EQ(LogIn(user, "pw-" + user)->status, lock.login_status);
    EXPECT_EQ(server_->Value("SELECT string_agg(action, ',' ORDER BY seq) FROM plant_trail WHERE "
                             "user_name = '" +
                             by + "' AND object = '" + user + "'"),
              lock.trail);
}

INSTANTIATE_TEST_SUITE_P(
    Plant, LockTest,
    ::testing::Values(LockCase{"Locked", {"lock"}, 423, "user locked"},
                      LockCase{"Unlocked", {"lock", "unlock"}, 303, "user locked,user unlocked"}),
    [](const ::testing::TestParamInfo<LockCase>& info) { return info.param.name; });

// surge-users --server: each change by the DBA's login a row of the plant's trail.
struct ToolCase {
    const char* name;
    QStringList arguments;
    const char* input;
    int exit_code;
    const char* trail;  // the user's rows' actions, in order
};

class UsersToolTest : public PlantSuite, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(UsersToolTest, ChangesOnTheServer) {
    AddUser("tooled", "viewer");
    const ToolCase& tool = GetParam();
    EXPECT_EQ(Tool(SURGE_USERS_PATH, QStringList{"--server"} + tool.arguments, tool.input),
              tool.exit_code);
    EXPECT_EQ(server_->Value("SELECT string_agg(action || ':' || before_value || '>' || "
                             "after_value, ',' ORDER BY seq) FROM plant_trail WHERE object = "
                             "'tooled' AND user_name = 'surge'"),
              tool.trail);
    server_->Value(
        "SELECT surge_plant_user_set('surge', 'remove', 'tooled', '', ''); "
        "DELETE FROM plant_trail WHERE object = 'tooled'");
}

INSTANTIATE_TEST_SUITE_P(
    Plant, UsersToolTest,
    ::testing::Values(
        ToolCase{"Role",
                 {"role", "tooled", "engineer"},
                 "",
                 0,
                 "user added:>viewer,user re-roled:viewer>engineer"},
        ToolCase{
            "Password", {"password", "tooled"}, "new-pw\n", 0, "user added:>viewer,password set:>"},
        ToolCase{"Remove", {"remove", "tooled"}, "", 0, "user added:>viewer,user removed:viewer>"},
        ToolCase{"AddedTwice", {"add", "tooled", "viewer"}, "pw\n", 1, "user added:>viewer"},
        ToolCase{"UnknownRole", {"role", "tooled", "operator"}, "", 3, "user added:>viewer"}),
    [](const ::testing::TestParamInfo<ToolCase>& info) { return info.param.name; });

}  // namespace
