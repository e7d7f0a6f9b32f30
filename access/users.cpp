#include "access/users.h"

#include <QChar>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <chrono>
#include <optional>

#include "access/password.h"
#include "records/record_fields.h"
#include "trail/access_database.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"
#include "trail/digest.h"
#include "trail/trail_meaning.h"

namespace access_control {

namespace {

constexpr const char* NOT_WRITTEN = USERS_NOT_WRITTEN;
constexpr const char* NO_SUCH_USER = "그런 사용자가 없습니다";

Clock& TheClock() {
    static Clock clock = nullptr;
    return clock;
}

std::chrono::system_clock::time_point Now() {
    return TheClock() != nullptr ? TheClock()() : std::chrono::system_clock::now();
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

records::Database* Users() {
    return trail::AccessDatabase() != nullptr || trail::OpenAccessDatabase()
               ? trail::AccessDatabase()
               : nullptr;
}

// Runs `statement` with `values` bound; the number of rows it changed, or -1.
int Change(const QString& statement, const std::vector<QVariant>& values) {
    records::Database* db = Users();
    if (db == nullptr) {
        return -1;
    }
    int changed = -1;
    db->Read([&](QSqlDatabase& file) {
        QSqlQuery query(file);
        if (!query.prepare(statement)) {
            return records::StatusOf(query.lastError());
        }
        for (const QVariant& value : values) {
            query.addBindValue(value);
        }
        if (!query.exec()) {
            return records::StatusOf(query.lastError());
        }
        changed = query.numRowsAffected();
        return records::DbStatus::Ok;
    });
    return changed;
}

struct Stored {
    UserEntry entry;
    std::string hash;
};

// The user whose name, or else badge, is `key`; nothing when none; false when unreadable.
bool Find(const std::string& key, std::optional<Stored>* found) {
    records::Database* db = Users();
    if (db == nullptr) {
        return false;
    }
    const records::DbStatus status = db->Read([&](QSqlDatabase& file) {
        QSqlQuery query(file);
        query.prepare(
            QStringLiteral("SELECT name, COALESCE(badge, ''), role, hash, disabled, failures, "
                           "COALESCE(locked_until, '') FROM users WHERE name = ? OR badge = ? "
                           "ORDER BY name = ? DESC LIMIT 1"));
        query.addBindValue(Q(key));
        query.addBindValue(Q(key));
        query.addBindValue(Q(key));
        if (!query.exec()) {
            return records::StatusOf(query.lastError());
        }
        if (query.next()) {
            Stored s;
            s.entry.name = query.value(0).toString().toStdString();
            s.entry.badge = query.value(1).toString().toStdString();
            s.entry.role = query.value(2).toString().toStdString();
            s.hash = query.value(3).toString().toStdString();
            s.entry.disabled = query.value(4).toInt() != 0;
            s.entry.failures = query.value(5).toInt();
            s.entry.locked_until = query.value(6).toString().toStdString();
            *found = s;
        }
        return records::DbStatus::Ok;
    });
    return status == records::DbStatus::Ok;
}

bool StillLocked(const std::string& locked_until) {
    if (locked_until.empty()) {
        return false;
    }
    const QDateTime until = QDateTime::fromString(Q(locked_until), Qt::ISODateWithMs);
    const auto now_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Now().time_since_epoch()).count();
    return until.isValid() && until.toMSecsSinceEpoch() > now_ms;
}

bool Fail(std::string* problem, const char* why) {
    if (problem != nullptr) {
        *problem = why;
    }
    return false;
}

// The user `name` as the audit trail's rows of the user describe them (rows out of the chain's
// time order passed over); nothing when the trail never added them. False when unreadable.
bool FromTrail(const std::string& name, std::optional<trail::ChainUser>* user) {
    records::Database* db = Users();
    if (db == nullptr) {
        return false;
    }
    const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    return db->Read([&](QSqlDatabase& file) {
        QSqlQuery query(file);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral(
            "SELECT a.action, a.after_value, a.at, COALESCE((SELECT p.at FROM audit p WHERE "
            "p.seq = a.seq - 1), '') FROM audit a WHERE a.object = ? AND a.action IN (?, ?, ?, "
            "?) ORDER BY a.seq"));
        query.addBindValue(Q(name));
        for (const char* action : {trail::AUDIT_USER_ADDED, trail::AUDIT_USER_DISABLED,
                                   trail::AUDIT_USER_REROLED, trail::AUDIT_PASSWORD_SET}) {
            query.addBindValue(QLatin1String(action));
        }
        if (!query.exec()) {
            return records::StatusOf(query.lastError());
        }
        trail::ChainUsers users;
        while (query.next()) {
            if (trail::InTimeOrder(query.value(2).toString().toStdString(),
                                   query.value(3).toString().toStdString(), now)) {
                trail::AuditRow row;
                row.action = query.value(0).toString().toStdString();
                row.object = name;
                row.after = query.value(1).toString().toStdString();
                users.Read(row);
            }
        }
        if (const trail::ChainUser* found = users.Find(name)) {
            *user = *found;
        }
        return records::DbStatus::Ok;
    }) == records::DbStatus::Ok;
}

// What of the user's row differs from what the trail says of them; empty when nothing does.
std::string Differs(const Stored& stored, const std::optional<trail::ChainUser>& chained) {
    if (!chained) {
        return "added";
    }
    if (chained->role != stored.entry.role) {
        return "role";
    }
    if (chained->disabled != stored.entry.disabled) {
        return "disabled";
    }
    if (!chained->hash_digest.empty() && chained->hash_digest != trail::Sha256Hex(stored.hash)) {
        return "password";
    }
    return {};
}

// The user `name`'s lock and count of guesses, taken under the file's write lock: a guess is
// counted before its password is checked. LOCKED when the user is locked or has as many guesses
// open as may be made; `guess` is this one's number.
LoginOutcome CountGuess(const std::string& name, int* guess, std::string* locked_until) {
    records::Database* db = Users();
    LoginOutcome outcome = LoginOutcome::UNREADABLE;
    if (db == nullptr) {
        return outcome;
    }
    db->Read([&](QSqlDatabase& file) {
        QSqlQuery query(file);
        if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            return records::StatusOf(query.lastError());
        }
        const auto failed = [&query] {
            const QSqlError error = query.lastError();
            query.exec(QStringLiteral("ROLLBACK"));
            return records::StatusOf(error);
        };
        query.prepare(QStringLiteral(
            "SELECT failures, COALESCE(locked_until, '') FROM users WHERE name = ?"));
        query.addBindValue(Q(name));
        if (!query.exec() || !query.next()) {
            return failed();
        }
        const int failures = query.value(0).toInt();
        *locked_until = query.value(1).toString().toStdString();
        query.finish();
        if (StillLocked(*locked_until) || failures >= WRONG_PASSWORDS_TO_LOCK) {
            outcome = LoginOutcome::LOCKED;
            return query.exec(QStringLiteral("ROLLBACK")) ? records::DbStatus::Ok : failed();
        }
        *guess = failures + 1;
        query.prepare(
            QStringLiteral("UPDATE users SET failures = ?, locked_until = NULL WHERE "
                           "name = ?"));
        query.addBindValue(*guess);
        query.addBindValue(Q(name));
        if (!query.exec() || !query.exec(QStringLiteral("COMMIT"))) {
            return failed();
        }
        outcome = LoginOutcome::OK;
        return records::DbStatus::Ok;
    });
    return outcome;
}

// False (and why) when `name` is the last administrator not disabled: without one nobody could
// change the users, and the next `add` of an administrator would need no password.
bool KeepsAnAdministrator(const std::string& name, std::string* problem) {
    std::vector<UserEntry> users;
    if (!ListUsers(&users)) {
        return Fail(problem, NOT_WRITTEN);
    }
    int others = 0;
    bool is_one = false;
    for (const UserEntry& user : users) {
        if (user.role == RoleName(Role::ADMINISTRATOR) && !user.disabled) {
            if (user.name == name) {
                is_one = true;
            } else {
                ++others;
            }
        }
    }
    return !is_one || others > 0 ||
           Fail(problem, "마지막 관리자는 중지하거나 역할을 바꿀 수 없습니다");
}

// A change of one user's row, audited with its before and after.
bool ChangeUser(const std::string& name, const QString& statement,
                const std::vector<QVariant>& values, const char* action, const std::string& before,
                const std::string& after, std::string* problem) {
    const int changed = Change(statement, values);
    if (changed < 0) {
        return Fail(problem, NOT_WRITTEN);
    }
    if (changed == 0) {
        return Fail(problem, NO_SUCH_USER);
    }
    trail::Audit(action, name, before, after);
    return true;
}

}  // namespace

void UseUsersFile(const std::string& path) {
    trail::SetAccessDatabasePath(Q(path));
}

void SetUsersClock(Clock clock) {
    TheClock() = clock;
}

UsersState ReadUsersState() {
    records::Database* db = Users();
    if (db == nullptr) {
        return UsersState::UNREADABLE;
    }
    long count = -1;
    db->Read([&count](QSqlDatabase& file) {
        QSqlQuery query(file);
        if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM users WHERE disabled = 0")) ||
            !query.next()) {
            return records::StatusOf(query.lastError());
        }
        count = query.value(0).toLongLong();
        return records::DbStatus::Ok;
    });
    return count < 0 ? UsersState::UNREADABLE : count == 0 ? UsersState::NONE : UsersState::SOME;
}

LoginCheck CheckLogin(const std::string& name_or_badge, const std::string& password) {
    LoginCheck check;
    std::optional<Stored> found;
    if (!Find(name_or_badge, &found)) {
        return check;
    }
    if (!found) {
        // The name typed is not kept: it may be a password typed in the wrong field.
        trail::Audit(trail::AUDIT_FAILED_LOGIN, "?", "", "unknown user");
        check.outcome = LoginOutcome::UNKNOWN;
        return check;
    }
    const UserEntry& user = found->entry;
    std::optional<trail::ChainUser> chained;
    if (!FromTrail(user.name, &chained)) {
        return check;
    }
    check.differs = Differs(*found, chained);
    if (!check.differs.empty()) {
        trail::Audit(trail::AUDIT_FAILED_LOGIN, user.name, "",
                     "differs from the trail: " + check.differs);
        check.outcome = LoginOutcome::UNVOUCHED;
        check.user = {user.name, user.role};
        return check;
    }
    if (user.disabled) {
        trail::Audit(trail::AUDIT_FAILED_LOGIN, user.name, "", "disabled");
        check.outcome = LoginOutcome::DISABLED;
        return check;
    }
    int guess = 0;
    check.outcome = CountGuess(user.name, &guess, &check.locked_until);
    if (check.outcome == LoginOutcome::LOCKED) {
        trail::Audit(trail::AUDIT_FAILED_LOGIN, user.name, "", "locked");
        return check;
    }
    if (check.outcome != LoginOutcome::OK) {
        return check;
    }
    if (PasswordMatches(found->hash, password)) {
        Change(QStringLiteral("UPDATE users SET failures = 0, locked_until = NULL WHERE name = ?"),
               {Q(user.name)});
        check.user = {user.name, user.role};
        return check;
    }
    trail::Audit(trail::AUDIT_FAILED_LOGIN, user.name, "",
                 "wrong password " + std::to_string(guess));
    check.outcome = LoginOutcome::WRONG;
    if (guess >= WRONG_PASSWORDS_TO_LOCK) {
        check.outcome = LoginOutcome::LOCKED;
        check.locked_until = records::IsoTime(Now() + LOCK_TIME).toStdString();
        Change(QStringLiteral("UPDATE users SET failures = 0, locked_until = ? WHERE name = ?"),
               {Q(check.locked_until), Q(user.name)});
        trail::Audit(trail::AUDIT_LOCK, user.name, "", check.locked_until);
    }
    return check;
}

void VouchForUsers() {
    std::vector<UserEntry> users;
    // Only a file already open: with the history off and access control off there is none.
    if (trail::AccessDatabase() == nullptr || !ListUsers(&users)) {
        return;
    }
    for (const UserEntry& user : users) {
        std::optional<trail::ChainUser> chained;
        std::optional<Stored> found;
        if (FromTrail(user.name, &chained) && chained && chained->hash_digest.empty() &&
            Find(user.name, &found) && found) {
            trail::Audit(trail::AUDIT_PASSWORD_SET, user.name, "", trail::Sha256Hex(found->hash),
                         "recorded at the upgrade of the station's file");
        }
    }
}

bool UsableName(const std::string& name) {
    const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (text.isEmpty() || text.toUtf8() != QByteArray::fromStdString(name) ||
        text.front().isSpace() || text.back().isSpace()) {
        return false;
    }
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        const bool control =
            category == QChar::Other_Control || category == QChar::Other_Format ||
            category == QChar::Other_Surrogate || category == QChar::Other_PrivateUse ||
            category == QChar::Other_NotAssigned || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph;
        if (control || (c.isSpace() && c != QLatin1Char(' '))) {
            return false;
        }
    }
    return true;
}

bool AddUser(const std::string& name, Role role, const std::string& password,
             const std::string& badge, std::string* problem) {
    if (!UsableName(name) || name == "-" || name == "?" || (!badge.empty() && !UsableName(badge))) {
        return Fail(problem, "사용자 이름이나 배지가 비어 있거나 쓸 수 없는 글자가 있습니다");
    }
    if (password.empty()) {
        return Fail(problem, "암호가 비어 있습니다");
    }
    if (password.find('\0') != std::string::npos) {
        return Fail(problem, "암호에 쓸 수 없는 글자(NUL)가 있습니다");
    }
    std::optional<Stored> found;
    if (!Find(name, &found)) {
        return Fail(problem, NOT_WRITTEN);
    }
    if (found) {
        return Fail(problem, "같은 이름의 사용자가 이미 있습니다");
    }
    // A badge must name one user alone: no other's badge nor name.
    if (!badge.empty()) {
        std::optional<Stored> other;
        if (!Find(badge, &other)) {
            return Fail(problem, NOT_WRITTEN);
        }
        if (other || badge == name) {
            return Fail(problem, "그 배지는 다른 사용자의 이름이나 배지입니다");
        }
    }
    const std::string hash = HashPassword(password);
    if (hash.empty()) {
        return Fail(problem, "암호를 처리할 수 없습니다");
    }
    if (Change(QStringLiteral("INSERT INTO users (name, badge, role, hash) VALUES (?, ?, ?, ?)"),
               {Q(name), badge.empty() ? QVariant() : QVariant(Q(badge)), RoleName(role),
                Q(hash)}) != 1) {
        return Fail(problem, NOT_WRITTEN);
    }
    trail::Audit(trail::AUDIT_USER_ADDED, name, "", RoleName(role));
    trail::Audit(trail::AUDIT_PASSWORD_SET, name, "", trail::Sha256Hex(hash));
    return true;
}

bool DisableUser(const std::string& name, std::string* problem) {
    if (!KeepsAnAdministrator(name, problem)) {
        return false;
    }
    return ChangeUser(name, QStringLiteral("UPDATE users SET disabled = 1 WHERE name = ?"),
                      {Q(name)}, trail::AUDIT_USER_DISABLED, "enabled", "disabled", problem);
}

bool SetUserRole(const std::string& name, Role role, std::string* problem) {
    std::optional<Stored> found;
    if (!Find(name, &found)) {
        return Fail(problem, NOT_WRITTEN);
    }
    if (!found || found->entry.name != name) {
        return Fail(problem, NO_SUCH_USER);
    }
    if (role != Role::ADMINISTRATOR && !KeepsAnAdministrator(name, problem)) {
        return false;
    }
    return ChangeUser(name, QStringLiteral("UPDATE users SET role = ? WHERE name = ?"),
                      {RoleName(role), Q(name)}, trail::AUDIT_USER_REROLED, found->entry.role,
                      RoleName(role), problem);
}

bool SetUserPassword(const std::string& name, const std::string& password, std::string* problem) {
    if (password.empty()) {
        return Fail(problem, "암호가 비어 있습니다");
    }
    if (password.find('\0') != std::string::npos) {
        return Fail(problem, "암호에 쓸 수 없는 글자(NUL)가 있습니다");
    }
    const std::string hash = HashPassword(password);
    if (hash.empty()) {
        return Fail(problem, "암호를 처리할 수 없습니다");
    }
    // A new password also lifts a lock. Its row carries the digest of the hash kept.
    return ChangeUser(name,
                      QStringLiteral("UPDATE users SET hash = ?, failures = 0, locked_until = NULL "
                                     "WHERE name = ?"),
                      {Q(hash), Q(name)}, trail::AUDIT_PASSWORD_SET, "", trail::Sha256Hex(hash),
                      problem);
}

bool ListUsers(std::vector<UserEntry>* users) {
    records::Database* db = Users();
    if (db == nullptr) {
        return false;
    }
    return db->Read([users](QSqlDatabase& file) {
        QSqlQuery query(file);
        if (!query.exec(
                QStringLiteral("SELECT name, COALESCE(badge, ''), role, disabled, failures, "
                               "COALESCE(locked_until, '') FROM users ORDER BY name"))) {
            return records::StatusOf(query.lastError());
        }
        while (query.next()) {
            UserEntry e;
            e.name = query.value(0).toString().toStdString();
            e.badge = query.value(1).toString().toStdString();
            e.role = query.value(2).toString().toStdString();
            e.disabled = query.value(3).toInt() != 0;
            e.failures = query.value(4).toInt();
            e.locked_until = query.value(5).toString().toStdString();
            if (!StillLocked(e.locked_until)) {
                e.locked_until.clear();
            }
            users->push_back(e);
        }
        return records::DbStatus::Ok;
    }) == records::DbStatus::Ok;
}

bool HasAdministrator() {
    std::vector<UserEntry> users;
    if (!ListUsers(&users)) {
        return true;  // unreadable: nobody bootstraps past it
    }
    for (const UserEntry& user : users) {
        if (user.role == RoleName(Role::ADMINISTRATOR) && !user.disabled) {
            return true;
        }
    }
    return false;
}

}  // namespace access_control
