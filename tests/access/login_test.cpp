// Access control in the real panels, offscreen: the station started with [access] enabled, the
// role table command by command, wrong passwords and the lock, the password asked again, the
// idle timeout and the logout, the operators-only mode, and nothing of it with access off.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWidget>
#include <cstdlib>

#include "access/access_uir.h"
#include "access/login.h"
#include "access/users.h"
#include "app/surge.h"
#include "gates/engineer.h"
#include "history/history_panel.h"
#include "history/recorder.h"
#include "settings/settings_in_force.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/master/master_fixture.h"
#include "tests/support/file_rows.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit_testing.h"
#include "trail/access_database.h"
#include "trail/audit_trail.h"

namespace {

namespace tt = toolkit_testing;
namespace ac = access_control;

std::chrono::system_clock::time_point clock_now;
std::chrono::system_clock::time_point TestClock() {
    return clock_now;
}

class LoginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_program_state();
        tt::ClearShownPopups();
        setenv("SURGE_COM1", dir_.File("no-such-port").c_str(), 1);
        clock_now = std::chrono::system_clock::now();
        ac::SetUsersClock(TestClock);
    }
    void TearDown() override {
        history::Stop();
        ac::StopAccess();
        settings::StopSettings();
        trail::StopTrail();
        ResetHistoryPanel();
        for (int* handle : {&mainHandle, &setupHandle, &masterHandle}) {
            if (*handle > 0) {
                DiscardPanel(*handle);
            }
            *handle = 0;
        }
        ac::SetUsersClock(nullptr);
        unsetenv("SURGE_COM1");
    }
    // The station started with access control on and these users (name = role, password "pw-"
    // and the name, badge "B-" and the name).
    void Start(bool access, const std::vector<ac::Role>& roles) {
        WriteWholeFile(dir_.File("station.ini"),
                       access ? "[access]\nenabled=true\n" : "[access]\nenabled=false\n");
        // As surge-users adds them: each user with the trail's rows that vouch for them.
        trail::StartTrail(true);
        for (ac::Role role : roles) {
            std::string problem;
            ASSERT_TRUE(ac::AddUser(ac::RoleName(role), role,
                                    std::string("pw-") + ac::RoleName(role),
                                    std::string("B-") + ac::RoleName(role), &problem))
                << problem;
        }
        trail::StopTrail();
        ASSERT_EQ(Start_station(), 0);
        tt::ClearShownPopups();
    }
    static void LogIn(const std::string& name, const std::string& password) {
        tt::TypeText(ac::LoginPanel(), LOGIN_NAME, name);
        tt::TypeText(ac::LoginPanel(), LOGIN_PASSWORD, password);
        tt::Commit(ac::LoginPanel(), LOGIN_OK);
    }
    static std::string Text(int panel, int control) {
        char text[512] = "";
        GetCtrlVal(panel, control, text);
        return text;
    }
    static int Attribute(int panel, int control, int attribute) {
        int value = -1;
        GetCtrlAttribute(panel, control, attribute, &value);
        return value;
    }
    // The audit rows' "user action object after", from the newest back `n`.
    static std::vector<std::string> LastRows(int n) {
        return JoinedRows(QueryFile(
            "SELECT user_name, action, object, after_value FROM (SELECT * FROM audit ORDER BY seq"
            " DESC LIMIT " +
            std::to_string(n) + ") ORDER BY seq"));
    }

    ScopedWorkDir dir_;
};

// Which commands each role may give: whatever the panels' own dimming, the role's holds.
TEST_F(LoginTest, EachRoleGivesTheCommandsOfItsColumnAndNoOther) {
    Start(true, {ac::Role::OPERATOR, ac::Role::ENGINEER, ac::Role::ADMINISTRATOR});
    const char* const ENGINEERS = "엔지니어(engineer) 또는 관리자(administrator)만 할 수 있습니다.";
    const struct {
        const char* command;
        int* panel;
        int control;
        bool operator_may;
    } commands[] = {
        {"start", &mainHandle, MAIN_CMD_30, true},
        {"stop", &mainHandle, MAIN_CMD_29, true},
        {"serial", &mainHandle, MAIN_SERIAL, true},
        {"export", &mainHandle, MAIN_CMD_27, true},
        {"quit", &mainHandle, MAIN_CMD_28, true},
        {"registration panel", &mainHandle, MAIN_CMD_26, true},
        {"history", &mainHandle, MAIN_HISTORY, true},
        {"read the instrument", &setupHandle, SETUP_UPLOAD, true},
        {"master list", &setupHandle, SETUP_LIST, true},
        {"choose a master", &masterHandle, MASTER_SELECT, true},
        {"save a master", &setupHandle, SETUP_SAVE, false},
        {"delete a master", &masterHandle, MASTER_DELETE, false},
        {"choose the program", &setupHandle, SETUP_EXCEL_SELECT, false},
        {"audit rows", &historyHandle, HISTORY_AUDIT, false},
        {"history records", &historyHandle, HISTORY_SEARCH, true},
        {"history export", &historyHandle, HISTORY_EXPORT, true},
    };
    for (ac::Role role : {ac::Role::OPERATOR, ac::Role::ENGINEER, ac::Role::ADMINISTRATOR}) {
        SCOPED_TRACE(ac::RoleName(role));
        LogIn(ac::RoleName(role), std::string("pw-") + ac::RoleName(role));
        ASSERT_EQ(trail::CurrentUser().name, ac::RoleName(role));
        EXPECT_TRUE(tt::PanelIsVisible(mainHandle));
        EXPECT_FALSE(tt::PanelIsVisible(ac::LoginPanel()));
        EXPECT_EQ(Attribute(mainHandle, MAIN_LOGOUT, ATTR_VISIBLE), 1);
        tt::Commit(mainHandle, MAIN_HISTORY);
        tt::Commit(historyHandle, HISTORY_QUIT);
        for (const auto& c : commands) {
            SCOPED_TRACE(c.command);
            const bool may = c.operator_may || role != ac::Role::OPERATOR;
            // The cycle's own undimming cannot lift a role's.
            SetCtrlAttribute(*c.panel, c.control, ATTR_DIMMED, 0);
            EXPECT_EQ(Attribute(*c.panel, c.control, ATTR_DIMMED), may ? 0 : 1);
            EXPECT_EQ(Attribute(*c.panel, c.control, ATTR_ROLE_DIMMED), may ? 0 : 1);
            const QWidget* w = tt::ControlWidget(*c.panel, c.control);
            EXPECT_EQ(w->toolTip() == QString::fromUtf8(ENGINEERS), !may);
        }
        tt::Commit(mainHandle, MAIN_LOGOUT);
        EXPECT_TRUE(tt::PanelIsVisible(ac::LoginPanel()));
        EXPECT_FALSE(tt::PanelIsVisible(mainHandle));
    }
    // An operator's press of a dimmed command (an accessible action) changes nothing either.
    LogIn("operator", "pw-operator");
    tt::Commit(setupHandle, SETUP_EXCEL_SELECT);
    ASSERT_FALSE(tt::ShownPopups().empty());
    EXPECT_NE(tt::ShownPopups().back().text.find(ENGINEERS), std::string::npos);
    EXPECT_EQ(LastRows(3),
              (std::vector<std::string>{"administrator login administrator administrator",
                                        "administrator logout administrator logout",
                                        "operator login operator operator"}));
}

TEST_F(LoginTest, WrongPasswordsAreToldAndTheFifthInARowLocksForFiveMinutesAcrossARestart) {
    Start(true, {ac::Role::ENGINEER});
    const std::string refused = "이름 또는 암호가 맞지 않습니다.";
    const struct {
        const char* name;
        const char* password;
        std::chrono::seconds later;
        std::string message;  // empty: logged in
    } tries[] = {
        {"B-engineer", "pw-engineer", {}, ""},  // a scanned badge code
        {"nobody", "pw-engineer", {}, refused},
        {"engineer", "wrong 1", {}, refused},
        {"engineer", "wrong 2", {}, refused},
        {"engineer", "pw-engineer", {}, ""},  // a right one clears the count
        {"engineer", "wrong 1", {}, refused},
        {"engineer", "wrong 2", {}, refused},
        {"engineer", "wrong 3", {}, refused},
        {"engineer", "wrong 4", {}, refused},
        {"engineer", "wrong 5", {}, "암호가 5 번 틀려 잠겼습니다."},
        {"engineer", "pw-engineer", std::chrono::seconds(299), "암호가 5 번 틀려 잠겼습니다."},
        {"engineer", "pw-engineer", std::chrono::seconds(2), ""},
    };
    for (const auto& t : tries) {
        SCOPED_TRACE(std::string(t.name) + " / " + t.password);
        clock_now += t.later;
        if (t.later.count() > 0) {
            // A restart: the lock is on the file.
            trail::CloseAccessDatabase();
        }
        LogIn(t.name, t.password);
        EXPECT_EQ(Text(ac::LoginPanel(), LOGIN_PASSWORD), "");
        if (t.message.empty()) {
            EXPECT_EQ(trail::CurrentUser().name, "engineer");
            tt::Commit(mainHandle, MAIN_LOGOUT);
        } else {
            EXPECT_EQ(trail::CurrentUser().name, "-");
            EXPECT_EQ(Text(ac::LoginPanel(), LOGIN_MESSAGE).rfind(t.message, 0), 0u)
                << Text(ac::LoginPanel(), LOGIN_MESSAGE);
        }
    }
    const std::vector<std::string> rows = LastRows(5);
    EXPECT_EQ(rows[0].rfind("- failed login engineer wrong password 5", 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind("- lock engineer ", 0), 0u) << rows[1];
    EXPECT_EQ(rows[2], "- failed login engineer locked");
    EXPECT_EQ(rows[3], "engineer login engineer engineer");
    // Never a password, nor an unknown name typed.
    for (const std::string& row : LastRows(100)) {
        EXPECT_EQ(row.find("pw-"), std::string::npos) << row;
        EXPECT_EQ(row.find("nobody"), std::string::npos) << row;
    }
}

TEST_F(LoginTest, SavingDeletingAMasterAndChoosingTheProgramAskThePasswordAgain) {
    Start(true, {ac::Role::ENGINEER});
    LogIn("engineer", "pw-engineer");
    const struct {
        const char* name;
        std::function<void()> act;
        const char* password;  // nullptr: the popup cancelled
        std::string row;       // the newest audit row afterwards
    } cases[] = {
        {"a save, the right password",
         [] {
             SetCurrent("", 8.0F, 3, 5, 10, 10, 0, 9);
             tt::Commit(mainHandle, MAIN_CMD_26);
             tt::TypeText(setupHandle, SETUP_MODEL_NAME, "NEW");
             tt::QueueConfirmAnswer(1);
             tt::Commit(setupHandle, SETUP_SAVE);
         },
         "pw-engineer", "engineer master saved NEW"},
        {"a save, a wrong password",
         [] {
             tt::TypeText(setupHandle, SETUP_MODEL_NAME, "OTHER");
             tt::QueueConfirmAnswer(1);
             tt::Commit(setupHandle, SETUP_SAVE);
         },
         "wrong", "engineer failed login engineer wrong password 1"},
        {"a save, cancelled",
         [] {
             tt::TypeText(setupHandle, SETUP_MODEL_NAME, "OTHER");
             tt::QueueConfirmAnswer(1);
             tt::Commit(setupHandle, SETUP_SAVE);
         },
         nullptr, "engineer failed login engineer wrong password 1"},
        {"the program, the right password",
         [] {
             tt::QueueFileAnswer("/usr/bin/localc");
             tt::Commit(setupHandle, SETUP_EXCEL_SELECT);
         },
         "pw-engineer", "engineer program chosen excel_path.txt /usr/bin/localc"},
        {"a delete, the right password",
         [] {
             tt::Commit(setupHandle, SETUP_LIST);
             tt::ClickTableCell(masterHandle, MASTER_TABLE, MakePoint(1, 1));
             tt::Commit(masterHandle, MASTER_DELETE);
         },
         "pw-engineer", "engineer master deleted NEW "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tt::ClearShownPopups();
        if (c.password != nullptr) {
            tt::QueuePasswordAnswer(c.password);
        }
        c.act();
        EXPECT_EQ(tt::PendingAnswers(), 0);
        bool asked = false;
        for (const auto& popup : tt::ShownPopups()) {
            asked = asked || popup.kind == tt::PopupKind::PASSWORD;
        }
        EXPECT_TRUE(asked);
        const std::vector<std::string> rows = LastRows(1);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].rfind(c.row, 0), 0u) << rows[0];
    }
    EXPECT_FALSE(FileExists("model_name.dat") &&
                 ReadWholeFile("model_name.dat").find("OTHER") != std::string::npos);
}

// A gate's override: an engineer's password again, then the reason; an operator may not.
TEST_F(LoginTest, AGatesOverrideAsksAnEngineersPasswordAgainThenTheReason) {
    Start(true, {ac::Role::OPERATOR, ac::Role::ENGINEER});
    const struct {
        const char* user;
        const char* password;  // given when asked again; nullptr: not asked
        bool approved;
    } cases[] = {
        {"engineer", "pw-engineer", true},
        {"engineer", "wrong", false},
        {"operator", nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        LogIn(c.user, std::string("pw-") + c.user);
        if (c.password != nullptr) {
            tt::QueuePasswordAnswer(c.password);
        }
        if (c.approved) {
            tt::QueuePromptAnswer("코일 교체");
        }
        std::string reason;
        EXPECT_EQ(gates::EngineerApproves("라인 정지 확인", &reason), c.approved);
        EXPECT_EQ(reason, c.approved ? "코일 교체" : "");
        EXPECT_EQ(tt::PendingAnswers(), 0);
        tt::Commit(mainHandle, MAIN_LOGOUT);
    }
}

TEST_F(LoginTest, TheIdleTimeAndTheLogoutEndTheLoginBackToTheLoginPanel) {
    Start(true, {ac::Role::OPERATOR});
    const struct {
        const char* name;
        std::function<void()> end;
        std::string row;
    } ends[] = {
        {"idle", [] { tt::ExpireIdleTime(); }, "operator logout operator idle"},
        {"logout", [] { tt::Commit(mainHandle, MAIN_LOGOUT); }, "operator logout operator logout"},
    };
    for (const auto& e : ends) {
        SCOPED_TRACE(e.name);
        LogIn("operator", "pw-operator");
        EXPECT_EQ(Text(mainHandle, MAIN_USER), "operator · 작업자");
        tt::Commit(mainHandle, MAIN_CMD_26);  // on the registration panel when it ends
        e.end();
        EXPECT_EQ(trail::CurrentUser().name, "-");
        EXPECT_TRUE(tt::PanelIsVisible(ac::LoginPanel()));
        for (int panel : {mainHandle, setupHandle, masterHandle}) {
            EXPECT_FALSE(tt::PanelIsVisible(panel));
        }
        EXPECT_EQ(LastRows(1), std::vector<std::string>{e.row});
    }
    // With nobody logged in the idle time does nothing more.
    tt::ExpireIdleTime();
    EXPECT_EQ(LastRows(1), std::vector<std::string>{ends[1].row});
}

TEST_F(LoginTest, TurningAccessControlOnAndOffWhileTheStationRunsTakesEffect) {
    Start(false, {ac::Role::OPERATOR});
    WriteWholeFile("station.ini", "[access]\nenabled=true\n");
    settings::CheckSettingsFile();
    EXPECT_TRUE(tt::PanelIsVisible(ac::LoginPanel()));
    EXPECT_FALSE(tt::PanelIsVisible(mainHandle));
    LogIn("operator", "pw-operator");
    WriteWholeFile("station.ini", "[access]\nenabled=false\n");
    settings::CheckSettingsFile();
    EXPECT_EQ(trail::CurrentUser().name, "-");
    EXPECT_TRUE(tt::PanelIsVisible(mainHandle));
    EXPECT_FALSE(tt::PanelIsVisible(ac::LoginPanel()));
    EXPECT_EQ(Attribute(mainHandle, MAIN_LOGOUT, ATTR_VISIBLE), 0);
    EXPECT_EQ(Attribute(setupHandle, SETUP_SAVE, ATTR_ROLE_DIMMED), 0);
    // The change is noticed during the login, then it ends it.
    EXPECT_EQ(LastRows(2),
              (std::vector<std::string>{"operator settings changed access/enabled false",
                                        "operator logout operator access off"}));
}

TEST_F(LoginTest, AnEngineerReadsTheAuditRowsNewestFirst) {
    Start(true, {ac::Role::ENGINEER});
    LogIn("engineer", "pw-engineer");
    tt::Commit(mainHandle, MAIN_HISTORY);
    tt::Commit(historyHandle, HISTORY_AUDIT);
    const int audit = auditHandle;
    ASSERT_GT(audit, 0);
    EXPECT_TRUE(tt::PanelIsVisible(audit));
    EXPECT_FALSE(tt::PanelIsVisible(historyHandle));
    const struct {
        int column;
        std::string text;
    } cells[] = {{3, "engineer"}, {4, "engineer"}, {5, "login"}, {6, "engineer"}};
    for (const auto& c : cells) {
        EXPECT_EQ(tt::TableCellText(audit, AUDIT_TABLE, MakePoint(c.column, 1)), c.text);
    }
    tt::Commit(audit, AUDIT_QUIT);
    EXPECT_TRUE(tt::PanelIsVisible(historyHandle));
}

TEST_F(LoginTest, WithoutUsersToLogInTheStationRunsForOperatorsOnlyAndSaysWhy) {
    const struct {
        const char* name;
        std::function<void(const ScopedWorkDir&)> prepare;
        std::string warning;
    } cases[] = {
        {"no users", [](const ScopedWorkDir&) {},
         "등록된 사용자가 없습니다 (inspection_history.db)."},
        {"a damaged file",
         [](const ScopedWorkDir& dir) {
             WriteWholeFile(dir.File("inspection_history.db"), std::string(8192, 'x'));
             setenv("SURGE_HISTORY", "off", 1);
         },
         "사용자 정보를 읽을 수 없습니다 (inspection_history.db)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        c.prepare(dir);
        WriteWholeFile(dir.File("station.ini"), "[access]\nenabled=true\n");
        ASSERT_EQ(Start_station(), 0);
        bool warned = false;
        for (const auto& popup : tt::ShownPopups()) {
            warned = warned || popup.text.rfind(c.warning, 0) == 0;
        }
        EXPECT_TRUE(warned);
        EXPECT_TRUE(ac::OperatorsOnly());
        EXPECT_TRUE(tt::PanelIsVisible(mainHandle));
        EXPECT_FALSE(tt::PanelIsVisible(ac::LoginPanel()));
        EXPECT_EQ(Text(mainHandle, MAIN_USER), "작업자 전용 (사용자 정보 없음)");
        EXPECT_EQ(Attribute(mainHandle, MAIN_LOGOUT, ATTR_VISIBLE), 0);
        for (auto [panel, control] : {std::pair{setupHandle, SETUP_SAVE},
                                      {setupHandle, SETUP_EXCEL_SELECT},
                                      {masterHandle, MASTER_DELETE}}) {
            EXPECT_EQ(Attribute(panel, control, ATTR_ROLE_DIMMED), 1);
        }
        for (auto [panel, control] : {std::pair{mainHandle, MAIN_CMD_30},
                                      {mainHandle, MAIN_SERIAL},
                                      {masterHandle, MASTER_SELECT},
                                      {mainHandle, MAIN_HISTORY}}) {
            EXPECT_EQ(Attribute(panel, control, ATTR_ROLE_DIMMED), 0);
        }
        unsetenv("SURGE_HISTORY");
        TearDown();
        tt::ClearShownPopups();
    }
}

TEST_F(LoginTest, WithAccessControlOffNothingOfItShows) {
    Start(false, {ac::Role::OPERATOR});
    EXPECT_EQ(ac::LoginPanel(), 0);
    EXPECT_TRUE(tt::PanelIsVisible(mainHandle));
    EXPECT_EQ(Attribute(mainHandle, MAIN_USER, ATTR_VISIBLE), 0);
    EXPECT_EQ(Attribute(mainHandle, MAIN_LOGOUT, ATTR_VISIBLE), 0);
    for (auto [panel, control] : {std::pair{setupHandle, SETUP_SAVE},
                                  {setupHandle, SETUP_EXCEL_SELECT},
                                  {masterHandle, MASTER_DELETE}}) {
        EXPECT_EQ(Attribute(panel, control, ATTR_DIMMED), 0);
    }
    tt::QueueFileAnswer("/usr/bin/localc");
    tt::Commit(setupHandle, SETUP_EXCEL_SELECT);
    for (const auto& popup : tt::ShownPopups()) {
        EXPECT_NE(popup.kind, tt::PopupKind::PASSWORD);
    }
    EXPECT_EQ(ReadWholeFile("excel_path.txt"), "/usr/bin/localc");
}

}  // namespace
