#include "access/login.h"

#include <QString>
#include <cstring>
#include <vector>

#include "access/access_uir.h"
#include "access/users.h"
#include "settings/settings_in_force.h"
#include "toolkit/toolkit.h"
#include "trail/access_database.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"
#include "trail/session.h"

namespace access_control {

namespace {

constexpr const char* REFUSED = "이름 또는 암호가 맞지 않습니다.";
constexpr const char* DISABLED = "사용이 중지된 사용자입니다. 관리자에게 문의하십시요.";
constexpr const char* LOCKED = "암호가 %1 번 틀려 잠겼습니다. %2 이후에 다시 로그인하십시요.";
constexpr const char* UNREADABLE = "사용자 정보를 읽을 수 없습니다 (%1).";
constexpr const char* UNVOUCHED =
    "사용자 %1 의 %2 이(가) 변경 기록과 다릅니다: 변경 기록 밖에서 바뀌었습니다.\n"
    "이 사용자로는 로그인할 수 없습니다. 관리자에게 알리십시요.";
constexpr const char* OPERATORS_ONLY =
    "%1\n작업자 기능만 쓸 수 있습니다: 검사 시작과 정지, 시리얼 번호, 마스터 선택, 검사 이력.\n"
    "마스터, 엑셀 프로그램과 사용자는 바꿀 수 없습니다.";
constexpr const char* NO_USERS =
    "등록된 사용자가 없습니다 (%1). surge-users 로 사용자를 등록하십시요.";
constexpr const char* OPERATORS_ONLY_FIELD = "작업자 전용 (사용자 정보 없음)";
constexpr const char* ASK_AGAIN = "%1: %2 님의 암호를 다시 입력하십시요.";
constexpr const char* NOT_ALLOWED = "%1 은(는) %2";
constexpr const char* CHECK_TITLE = "암호 확인";

struct Guard {
    int panel = 0;
    int control = 0;
    Command command = Command::CHANGE_MASTER;
};

struct Access {
    StationPanels panels;
    int login_panel = 0;
    bool on = false;              // access control in force
    bool operators_only = false;  // on, with no users to log in
    std::vector<Guard> guards;
};

Access& TheAccess() {
    static auto* access = new Access;
    return *access;
}

std::string Text(const char* format, const QString& a, const QString& b = QString()) {
    QString text = QString::fromUtf8(format).arg(a);
    if (!b.isNull()) {
        text = text.arg(b);
    }
    return text.toStdString();
}

QString FileName() {
    return trail::AccessDatabasePath();
}

// What of a user differs from the trail (users.h's LoginCheck::differs), for the operator.
QString DiffersLabel(const std::string& differs) {
    const char* label = differs == "role"       ? "역할"
                        : differs == "password" ? "암호"
                        : differs == "disabled" ? "사용 중지 여부"
                                                : "등록";
    return QString::fromUtf8(label);
}

// A user whose row differs from the trail is told under "경  고", with what differs.
void TellUnvouched(const LoginCheck& check) {
    MessagePopup(WARNING_TITLE, Text(UNVOUCHED, QString::fromStdString(check.user.name),
                                     DiffersLabel(check.differs))
                                    .c_str());
}

const char* RoleLabel(const std::string& role) {
    if (role == RoleName(Role::ADMINISTRATOR)) {
        return "관리자";
    }
    return role == RoleName(Role::ENGINEER) ? "엔지니어" : "작업자";
}

void ApplyGuard(const Guard& g) {
    const Access& a = TheAccess();
    const bool dim = a.on && !May(g.command);
    SetCtrlAttribute(g.panel, g.control, ATTR_ROLE_DIMMED, dim ? 1 : 0);
    SetCtrlAttribute(g.panel, g.control, ATTR_TOOLTIP_TEXT,
                     dim ? WhoMayText(g.command).c_str() : "");
}

void ApplyGuards() {
    for (const Guard& g : TheAccess().guards) {
        ApplyGuard(g);
    }
}

void ShowUser(const std::string& text, bool logout) {
    const Access& a = TheAccess();
    SetCtrlVal(a.panels.main_panel, a.panels.user_field, text.c_str());
    SetCtrlAttribute(a.panels.main_panel, a.panels.user_field, ATTR_VISIBLE, a.on ? 1 : 0);
    SetCtrlAttribute(a.panels.main_panel, a.panels.logout_button, ATTR_VISIBLE, logout ? 1 : 0);
}

void IdleEnd(void*);

void ArmIdle() {
    SetIdleCallback(settings::Settings().access.idle_minutes * 60.0, IdleEnd, nullptr);
}

// The login panel in place of the station's panels, emptied.
void ShowLogin(const char* message) {
    Access& a = TheAccess();
    SetIdleCallback(0, nullptr, nullptr);
    if (a.panels.hide_panels) {
        a.panels.hide_panels();
    }
    SetCtrlVal(a.login_panel, LOGIN_NAME, "");
    SetCtrlVal(a.login_panel, LOGIN_PASSWORD, "");
    SetCtrlVal(a.login_panel, LOGIN_MESSAGE, message);
    DisplayPanel(a.login_panel);
}

// Ends the login: an audit row by the user, then nobody, then the login panel.
void EndLogin(const char* why) {
    if (trail::CurrentUser().name != "-") {
        trail::Audit(trail::AUDIT_LOGOUT, trail::CurrentUser().name, "", why);
    }
    trail::SetCurrentUser(trail::User{});
    ApplyGuards();
    ShowUser("", false);
    ShowLogin("");
}

void IdleEnd(void*) {
    if (TheAccess().on && !TheAccess().operators_only && trail::CurrentUser().name != "-") {
        EndLogin("idle");
    }
}

// Access control's state as the settings and the users table give it now.
void Begin() {
    Access& a = TheAccess();
    a.on = true;
    trail::SetCurrentUser(trail::User{});
    const UsersState users = ReadUsersState();
    a.operators_only = users != UsersState::SOME;
    if (a.operators_only) {
        const std::string why =
            users == UsersState::NONE ? Text(NO_USERS, FileName()) : Text(UNREADABLE, FileName());
        MessagePopup(WARNING_TITLE, Text(OPERATORS_ONLY, QString::fromStdString(why)).c_str());
        ApplyGuards();
        ShowUser(OPERATORS_ONLY_FIELD, false);
        return;
    }
    ApplyGuards();
    ShowUser("", false);
    ShowLogin("");
}

// Back to the station as it is without access control.
void End() {
    Access& a = TheAccess();
    SetIdleCallback(0, nullptr, nullptr);
    if (a.on && trail::CurrentUser().name != "-") {
        trail::Audit(trail::AUDIT_LOGOUT, trail::CurrentUser().name, "", "access off");
    }
    trail::SetCurrentUser(trail::User{});
    a.on = false;
    a.operators_only = false;
    ApplyGuards();
    ShowUser("", false);
    if (a.login_panel > 0) {
        HidePanel(a.login_panel);
    }
}

}  // namespace

int StartAccess(const StationPanels& panels) {
    TheAccess().panels = panels;
    settings::ListenToSettings("access", [] { AccessSettingsChanged(); });
    VouchForUsers();
    return AccessSettingsChanged();
}

int AccessSettingsChanged() {
    Access& a = TheAccess();
    if (a.panels.main_panel <= 0) {
        return 0;
    }
    const bool enabled = settings::Settings().access.enabled;
    if (enabled && a.login_panel <= 0) {
        // Loaded only where access control is on: without it the start-up is as it was.
        a.login_panel = LoadPanel(0, a.panels.resource, LOGIN);
        if (a.login_panel < 0) {
            a.login_panel = 0;
            return -1;
        }
    }
    if (enabled && !a.on) {
        Begin();
    } else if (!enabled && (a.on || a.login_panel == 0)) {
        const bool was_on = a.on;
        End();
        if (was_on) {
            DisplayPanel(a.panels.main_panel);
        }
    } else if (a.on && trail::CurrentUser().name != "-") {
        ArmIdle();
    }
    return 0;
}

void StopAccess() {
    Access& a = TheAccess();
    settings::StopListening("access");
    SetIdleCallback(0, nullptr, nullptr);
    if (a.on && trail::CurrentUser().name != "-") {
        trail::Audit(trail::AUDIT_LOGOUT, trail::CurrentUser().name, "", "quit");
    }
    trail::SetCurrentUser(trail::User{});
    if (a.login_panel > 0) {
        DiscardPanel(a.login_panel);
    }
    a = Access{};
}

void GuardControl(int panel, int control, Command command) {
    Access& a = TheAccess();
    for (Guard& g : a.guards) {
        if (g.panel == panel && g.control == control) {
            g.command = command;
            ApplyGuard(g);
            return;
        }
    }
    a.guards.push_back({panel, control, command});
    ApplyGuard(a.guards.back());
}

bool May(Command command) {
    const Access& a = TheAccess();
    if (!a.on) {
        return true;
    }
    if (a.operators_only) {
        return false;
    }
    const auto role = RoleNamed(trail::CurrentUser().role);
    return role && RoleMay(*role, command);
}

bool OperatorsOnly() {
    return TheAccess().on && TheAccess().operators_only;
}

int LoginPanel() {
    return TheAccess().login_panel;
}

bool Reauthenticate(Command command, const char* what) {
    if (!TheAccess().on) {
        return true;
    }
    const QString task = QString::fromUtf8(what);
    if (!May(command)) {
        MessagePopup(WARNING_TITLE,
                     Text(NOT_ALLOWED, task, QString::fromStdString(WhoMayText(command))).c_str());
        return false;
    }
    const std::string name = trail::CurrentUser().name;
    char password[256] = {0};
    if (PasswordPopup(CHECK_TITLE, Text(ASK_AGAIN, task, QString::fromStdString(name)).c_str(),
                      password, sizeof password) != 1) {
        return false;
    }
    const LoginCheck check = CheckLogin(name, password);
    std::memset(password, 0, sizeof password);
    switch (check.outcome) {
        case LoginOutcome::OK:
            break;
        case LoginOutcome::LOCKED:
            MessagePopup(WARNING_TITLE, Text(LOCKED, QString::number(WRONG_PASSWORDS_TO_LOCK),
                                             QString::fromStdString(check.locked_until))
                                            .c_str());
            EndLogin("locked");
            return false;
        case LoginOutcome::UNREADABLE:
            MessagePopup(WARNING_TITLE, Text(UNREADABLE, FileName()).c_str());
            return false;
        case LoginOutcome::UNVOUCHED:
            TellUnvouched(check);
            return false;
        default:
            MessagePopup(WARNING_TITLE, REFUSED);
            return false;
    }
    // The role as the table has it now: an administrator may have changed it since the login.
    trail::SetCurrentUser(check.user);
    ApplyGuards();
    if (!May(command)) {
        MessagePopup(WARNING_TITLE,
                     Text(NOT_ALLOWED, task, QString::fromStdString(WhoMayText(command))).c_str());
        return false;
    }
    return true;
}

int Login_ok(int, int, int event, void*, int, int) {
    Access& a = TheAccess();
    if (event != EVENT_COMMIT || !a.on || a.operators_only) {
        return 0;
    }
    char name[256] = {0};
    char password[256] = {0};
    GetCtrlVal(a.login_panel, LOGIN_NAME, name);
    GetCtrlVal(a.login_panel, LOGIN_PASSWORD, password);
    SetCtrlVal(a.login_panel, LOGIN_PASSWORD, "");
    if (name[0] == '\0') {
        SetCtrlVal(a.login_panel, LOGIN_MESSAGE, REFUSED);
        return 0;
    }
    const LoginCheck check = CheckLogin(name, password);
    std::memset(password, 0, sizeof password);
    switch (check.outcome) {
        case LoginOutcome::OK:
            break;
        case LoginOutcome::LOCKED:
            SetCtrlVal(a.login_panel, LOGIN_MESSAGE,
                       Text(LOCKED, QString::number(WRONG_PASSWORDS_TO_LOCK),
                            QString::fromStdString(check.locked_until))
                           .c_str());
            return 0;
        case LoginOutcome::DISABLED:
            SetCtrlVal(a.login_panel, LOGIN_MESSAGE, DISABLED);
            return 0;
        case LoginOutcome::UNREADABLE:
            SetCtrlVal(a.login_panel, LOGIN_MESSAGE, Text(UNREADABLE, FileName()).c_str());
            return 0;
        case LoginOutcome::UNVOUCHED:
            SetCtrlVal(a.login_panel, LOGIN_MESSAGE, REFUSED);
            TellUnvouched(check);
            return 0;
        default:
            SetCtrlVal(a.login_panel, LOGIN_MESSAGE, REFUSED);
            return 0;
    }
    trail::SetCurrentUser(check.user);
    trail::Audit(trail::AUDIT_LOGIN, check.user.name, "", check.user.role);
    ApplyGuards();
    ShowUser(QStringLiteral("%1 · %2")
                 .arg(QString::fromStdString(check.user.name),
                      QString::fromUtf8(RoleLabel(check.user.role)))
                 .toStdString(),
             true);
    SetCtrlVal(a.login_panel, LOGIN_NAME, "");
    SetCtrlVal(a.login_panel, LOGIN_MESSAGE, "");
    HidePanel(a.login_panel);
    DisplayPanel(a.panels.main_panel);
    ArmIdle();
    return 0;
}

int Logout(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT && TheAccess().on && !TheAccess().operators_only) {
        EndLogin("logout");
    }
    return 0;
}

}  // namespace access_control
