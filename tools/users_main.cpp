// surge-users: the station's users, before its first start and after.
//   surge-users [--file FILE] [--as NAME] add NAME ROLE [--badge CODE]
//   surge-users [--file FILE] [--as NAME] disable NAME | role NAME ROLE | password NAME
//   surge-users [--file FILE] list
//   surge-users --server add NAME ROLE | role NAME ROLE | password NAME | remove NAME
// FILE is "inspection_history.db" in the working directory unless named. Until the file holds an
// administrator, the first `add` of one needs no one's password; every other change needs an
// administrator's (--as NAME, the password asked). Passwords are read without echo from the
// terminal, or one a line from standard input (the administrator's first). --server manages the
// plant view's users on the plant server (SURGE_HISTORY_DB, the DBA's login). Exit codes: 0 done,
// 1 refused (the administrator's password, the change), 2 the file cannot be read or written,
// 3 the command line.
#include <termios.h>
#include <unistd.h>
#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "access/roles.h"
#include "access/users.h"
#include "plant/user_changes.h"
#include "records/database_file.h"
#include "records/record_fields.h"
#include "trail/audit_trail.h"
#include "trail/session.h"

namespace {

constexpr int DONE = 0;
constexpr int REFUSED = 1;
constexpr int UNREADABLE = 2;
constexpr int USAGE_ERROR = 3;

constexpr const char* USAGE =
    "usage: surge-users [--file FILE] [--as NAME] add NAME ROLE [--badge CODE]\n"
    "       surge-users [--file FILE] [--as NAME] disable NAME\n"
    "       surge-users [--file FILE] [--as NAME] role NAME ROLE\n"
    "       surge-users [--file FILE] [--as NAME] password NAME\n"
    "       surge-users [--file FILE] list\n"
    "       surge-users --server add NAME ROLE | role NAME ROLE | password NAME | remove NAME\n"
    "ROLE: operator, engineer or administrator. FILE: the station's database,\n"
    "inspection_history.db in the working directory by default. --as: the administrator who\n"
    "makes the change (asked for the password); not needed for the first administrator.\n"
    "--server: a user of the plant view (ROLE: viewer, engineer or administrator) on the\n"
    "plant server of SURGE_HISTORY_DB, as its DBA; each change a row of the server's plant trail.\n"
    "exit: 0 done, 1 refused, 2 the file cannot be read or written, 3 the command line.\n";

int Usage(const char* why) {
    if (why != nullptr) {
        std::fprintf(stderr, "surge-users: %s\n", why);
    }
    std::fputs(USAGE, stderr);
    return USAGE_ERROR;
}

// A password: without echo from a terminal, else the next line of standard input.
bool ReadPassword(const char* prompt, std::string* password) {
    const bool terminal = isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "%s", prompt);
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool read = static_cast<bool>(std::getline(std::cin, *password));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fprintf(stderr, "\n");
    }
    if (!password->empty() && password->back() == '\r') {
        password->pop_back();
    }
    return read;
}

// A new password: twice on a terminal, so that a slip is caught.
bool ReadNewPassword(const std::string& name, std::string* password) {
    if (!ReadPassword(("new password for " + name + ": ").c_str(), password)) {
        return false;
    }
    if (isatty(STDIN_FILENO) != 0) {
        std::string again;
        if (!ReadPassword("again: ", &again) || again != *password) {
            std::fprintf(stderr, "surge-users: the two passwords differ\n");
            return false;
        }
    }
    return !password->empty();
}

// The administrator's login for the change; false (and why) when refused.
int Authenticate(const std::string& as, bool bootstrap) {
    using access_control::LoginOutcome;
    if (bootstrap) {
        return DONE;
    }
    if (as.empty()) {
        std::fprintf(stderr, "surge-users: an administrator must make this change: --as NAME\n");
        return REFUSED;
    }
    std::string password;
    if (!ReadPassword(("password for " + as + ": ").c_str(), &password)) {
        return Usage("no password given");
    }
    const access_control::LoginCheck check = access_control::CheckLogin(as, password);
    switch (check.outcome) {
        case LoginOutcome::OK:
            break;
        case LoginOutcome::UNREADABLE:
            std::fprintf(stderr, "surge-users: cannot read the users\n");
            return UNREADABLE;
        case LoginOutcome::LOCKED:
            std::fprintf(stderr, "surge-users: %s is locked until %s\n", as.c_str(),
                         check.locked_until.c_str());
            return REFUSED;
        case LoginOutcome::UNVOUCHED:
            std::fprintf(stderr,
                         "surge-users: %s's row differs from the audit trail (%s): it was "
                         "changed outside surge-users and the station\n",
                         as.c_str(), check.differs.c_str());
            return REFUSED;
        default:
            std::fprintf(stderr, "surge-users: wrong name or password\n");
            return REFUSED;
    }
    if (check.user.role != access_control::RoleName(access_control::Role::ADMINISTRATOR)) {
        std::fprintf(stderr, "surge-users: %s is no administrator\n", as.c_str());
        return REFUSED;
    }
    trail::SetCurrentUser(check.user);
    return DONE;
}

// `code`, once the trail's rows are on the file; UNREADABLE, and said, where one could not be
// written (a failed login's too).
int Written(int code) {
    trail::StopTrail();
    if (trail::PendingAuditRows() == 0) {
        return code;
    }
    std::fprintf(stderr, "surge-users: %s, its audit row could not be written\n",
                 code == DONE ? "the change is made" : "refused");
    return UNREADABLE;
}

int List() {
    std::vector<access_control::UserEntry> users;
    if (!access_control::ListUsers(&users)) {
        std::fprintf(stderr, "surge-users: cannot read the users\n");
        return UNREADABLE;
    }
    for (const access_control::UserEntry& u : users) {
        std::printf("%s\t%s\t%s%s%s\n", u.name.c_str(), u.role.c_str(),
                    u.disabled ? "disabled" : "enabled",
                    u.badge.empty() ? "" : ("\tbadge " + u.badge).c_str(),
                    u.locked_until.empty() ? "" : ("\tlocked until " + u.locked_until).c_str());
    }
    return DONE;
}

// What the command line asks.
struct CommandLine {
    std::string file = records::DATABASE_FILE;
    std::string as;
    std::string badge;
    std::vector<std::string> words;  // the command and its arguments
    std::optional<access_control::Role> role;
};

constexpr int GO_ON = -1;  // a step's answer when the next one is to follow

// Reads the command line into `line`: GO_ON, or the exit code when nothing more is to be done.
int Parse(const std::vector<std::string>& args, CommandLine* line) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--file" || a == "--as" || a == "--badge") {
            if (i + 1 >= args.size()) {
                return Usage((a + " needs a value").c_str());
            }
            (a == "--file" ? line->file : a == "--as" ? line->as : line->badge) = args[++i];
        } else if (a == "-h" || a == "--help") {
            std::fputs(USAGE, stdout);
            return DONE;
        } else {
            line->words.push_back(a);
        }
    }
    if (line->words.empty()) {
        return Usage(nullptr);
    }
    const std::vector<std::string>& words = line->words;
    const std::string& command = words[0];
    const std::size_t needs = command == "list"                               ? 1
                              : command == "add" || command == "role"         ? 3
                              : command == "disable" || command == "password" ? 2
                                                                              : 0;
    if (needs == 0) {
        return Usage(("unknown command: " + command).c_str());
    }
    if (words.size() != needs || (!line->badge.empty() && command != "add")) {
        return Usage(("wrong arguments for " + command).c_str());
    }
    if (needs == 3 && !(line->role = access_control::RoleNamed(words[2]))) {
        return Usage(("unknown role: " + words[2]).c_str());
    }
    return GO_ON;
}

// Opens the users of `file` and vouches for them: GO_ON, or UNREADABLE.
int OpenUsers(const std::string& file) {
    access_control::UseUsersFile(file);
    trail::StartTrail(true);
    if (access_control::ReadUsersState() == access_control::UsersState::UNREADABLE) {
        std::fprintf(stderr, "surge-users: cannot read the users of %s\n", file.c_str());
        return UNREADABLE;
    }
    // The file keeps the station's name: its rows go by it, and by no other.
    if (const QString conflict = records::StationNameConflict(); !conflict.isEmpty()) {
        std::fprintf(stderr, "surge-users: %s\n", conflict.toUtf8().constData());
        return UNREADABLE;
    }
    access_control::VouchForUsers();
    return GO_ON;
}

// Makes the change the command line asks, once the administrator is who they say.
int Change(const CommandLine& line) {
    const std::string& command = line.words[0];
    const bool bootstrap = command == "add" && *line.role == access_control::Role::ADMINISTRATOR &&
                           !access_control::HasAdministrator();
    if (const int refused = Authenticate(line.as, bootstrap); refused != DONE) {
        return Written(refused);
    }
    const std::string& name = line.words[1];
    std::string problem;
    bool changed = false;
    std::string password;
    if (command == "add" || command == "password") {
        if (!ReadNewPassword(name, &password)) {
            return Usage("no new password given");
        }
    }
    if (command == "add") {
        changed = access_control::AddUser(name, *line.role, password, line.badge, &problem);
    } else if (command == "password") {
        changed = access_control::SetUserPassword(name, password, &problem);
    } else if (command == "disable") {
        changed = access_control::DisableUser(name, &problem);
    } else {
        changed = access_control::SetUserRole(name, *line.role, &problem);
    }
    password.assign(password.size(), '\0');
    if (!changed) {
        std::fprintf(stderr, "surge-users: %s: %s\n", name.c_str(), problem.c_str());
        return problem == access_control::USERS_NOT_WRITTEN ? UNREADABLE : REFUSED;
    }
    if (Written(DONE) != DONE) {
        return UNREADABLE;
    }
    std::printf("%s: %s\n", name.c_str(), command.c_str());
    return DONE;
}

// --server: a plant user of the plant view, on the DBA's connection of SURGE_HISTORY_DB.
int RunOnServer(const std::vector<std::string>& words) {
    const std::string command = words.empty() ? std::string() : words[0];
    const std::size_t needs = command == "add" || command == "role"          ? 3
                              : command == "password" || command == "remove" ? 2
                                                                             : 0;
    if (needs == 0 || words.size() != needs) {
        return Usage("--server: add NAME ROLE, role NAME ROLE, password NAME or remove NAME");
    }
    plant::UserChange change{command, words[1], needs == 3 ? words[2] : "", ""};
    if ((command == "add" || command == "password") &&
        !ReadNewPassword(change.name, &change.password)) {
        return Usage("no password given");
    }
    std::string problem;
    const std::string outcome = plant::ChangeUserOnServer(change, &problem);
    change.password.assign(change.password.size(), '\0');
    if (outcome.empty()) {
        std::fprintf(stderr, "surge-users: %s\n", problem.c_str());
        return UNREADABLE;
    }
    if (outcome != "done") {
        std::fprintf(stderr, "surge-users: %s: %s\n", change.name.c_str(), outcome.c_str());
        return outcome == "invalid" ? USAGE_ERROR : REFUSED;
    }
    std::printf("%s: %s (plant server)\n", change.name.c_str(), command.c_str());
    return DONE;
}

int Run(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "--server") {
        return RunOnServer({args.begin() + 1, args.end()});
    }
    CommandLine line;
    if (const int parsed = Parse(args, &line); parsed != GO_ON) {
        return parsed;
    }
    if (const int opened = OpenUsers(line.file); opened != GO_ON) {
        return opened;
    }
    if (line.words[0] == "list") {
        return List();
    }
    return Change(line);
}

}  // namespace

int main(int argc, char** argv) {
    // Qt SQL finds its drivers only once the application object exists.
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    return Run(args);
}
