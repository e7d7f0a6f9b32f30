// surge-users run as a plant's administrator runs it: the first administrator added without a
// password, every later change only with an administrator's, each change an audit row, the
// passwords from standard input, and the exit codes.
#include <gtest/gtest.h>

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <string>

#include "tests/support/file_rows.h"
#include "tests/support/work_dir.h"

namespace {

struct UsersRun {
    int exit_code = -1;
    std::string output;
};

UsersRun RunUsers(const QStringList& arguments, const std::string& input) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(SURGE_USERS_PATH), arguments);
    tool.write(input.data(), static_cast<qint64>(input.size()));
    tool.closeWriteChannel();
    UsersRun run;
    if (tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit) {
        run.exit_code = tool.exitCode();
    }
    run.output = tool.readAll().toStdString();
    return run;
}

// The audit rows: "user action object after", oldest first; the digest of a password's hash
// that a "password set" row carries read "digest".
std::vector<std::string> AuditRows(const std::string& file) {
    return JoinedRows(QueryFile(
        "SELECT user_name, action, object, CASE WHEN action = 'password set' AND "
        "length(after_value) = 64 THEN 'digest' ELSE after_value END FROM audit ORDER BY seq",
        file));
}

TEST(UsersToolTest, EachCommandWithItsAuthorityItsExitCodeAndItsAuditRow) {
    ScopedWorkDir dir(false);
    const QString file = QString::fromStdString(dir.File("line3.db"));
    const struct {
        const char* name;
        QStringList arguments;
        std::string input;
        int exit_code;
        std::string output;                   // a part of what it printed
        std::vector<std::string> audit_rows;  // the rows it added
    } cases[] = {
        {"an engineer before any administrator",
         {"add", "kim", "engineer"},
         "pw-kim\n",
         1,
         "--as NAME",
         {}},
        {"the first administrator, without a password",
         {"add", "admin", "administrator"},
         "pw-admin\n",
         0,
         "admin: add",
         {"- user added admin administrator", "- password set admin digest"}},
        {"a second administrator needs the first's password",
         {"add", "boss", "administrator"},
         "pw-boss\n",
         1,
         "--as NAME",
         {}},
        {"an engineer by the administrator",
         {"--as", "admin", "add", "kim", "engineer", "--badge", "B-0042"},
         "pw-admin\npw-kim\n",
         0,
         "kim: add",
         {"admin user added kim engineer", "admin password set kim digest"}},
        {"a wrong administrator password",
         {"--as", "admin", "add", "lee", "operator"},
         "wrong\npw-lee\n",
         1,
         "wrong name or password",
         {"- failed login admin wrong password 1"}},
        {"an engineer is no administrator",
         {"--as", "kim", "disable", "admin"},
         "pw-kim\n",
         1,
         "no administrator",
         {}},
        {"the last administrator cannot be disabled",
         {"--as", "admin", "disable", "admin"},
         "pw-admin\n",
         1,
         "마지막 관리자",
         {}},
        {"nor re-roled",
         {"--as", "admin", "role", "admin", "engineer"},
         "pw-admin\n",
         1,
         "마지막 관리자",
         {}},
        {"the same name again",
         {"--as", "admin", "add", "kim", "operator"},
         "pw-admin\nx\n",
         1,
         "kim",
         {}},
        {"a badge another user has",
         {"--as", "admin", "add", "park", "operator", "--badge", "B-0042"},
         "pw-admin\nx\n",
         1,
         "park",
         {}},
        {"re-roled",
         {"--as", "admin", "role", "kim", "operator"},
         "pw-admin\n",
         0,
         "kim: role",
         {"admin user re-roled kim operator"}},
        {"a password set",
         {"--as", "admin", "password", "kim"},
         "pw-admin\nnew-kim\n",
         0,
         "kim: password",
         {"admin password set kim digest"}},
        {"disabled",
         {"--as", "admin", "disable", "kim"},
         "pw-admin\n",
         0,
         "kim: disable",
         {"admin user disabled kim disabled"}},
        {"no such user", {"--as", "admin", "disable", "nobody"}, "pw-admin\n", 1, "nobody", {}},
        {"an unknown role", {"--as", "admin", "role", "kim", "boss"}, "", 3, "unknown role", {}},
        {"an unknown command", {"remove", "kim"}, "", 3, "unknown command", {}},
        {"no new password",
         {"--as", "admin", "password", "admin"},
         "pw-admin\n",
         3,
         "no new password",
         {}},
        {"a name with a tab",
         {"--as", "admin", "add", "a\tb", "operator"},
         "pw-admin\nx\n",
         1,
         "쓸 수 없는 글자",
         {}},
        {"a name with a line feed",
         {"--as", "admin", "add", "a\nkim\tadministrator", "operator"},
         "pw-admin\nx\n",
         1,
         "쓸 수 없는 글자",
         {}},
        {"a name with a right-to-left mark",
         {"--as", "admin", "add", "a\u200Fb", "operator"},
         "pw-admin\nx\n",
         1,
         "쓸 수 없는 글자",
         {}},
        {"a password with a NUL",
         {"--as", "admin", "add", "lee", "operator"},
         std::string("pw-admin\nab\0c\n", 14),
         1,
         "NUL",
         {}},
        {"the list", {"list"}, "", 0, "kim\toperator\tdisabled\tbadge B-0042", {}},
    };
    std::size_t rows = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UsersRun run = RunUsers(QStringList{"--file", file} + c.arguments, c.input);
        EXPECT_EQ(run.exit_code, c.exit_code) << run.output;
        EXPECT_NE(run.output.find(c.output), std::string::npos) << run.output;
        const std::vector<std::string> audit = AuditRows(file.toStdString());
        // A refusal adds no row but the failed login's.
        ASSERT_GE(audit.size(), rows);
        EXPECT_EQ(std::vector<std::string>(audit.begin() + static_cast<long>(rows), audit.end()),
                  c.audit_rows);
        rows = audit.size();
    }
    EXPECT_EQ(RunUsers({"--file", file, "list"}, "").output.find("pw-"), std::string::npos);
}

TEST(UsersToolTest, AFileThatIsNoDatabaseIsTold) {
    ScopedWorkDir dir(false);
    WriteWholeFile(dir.File("inspection_history.db"), std::string(8192, 'x'));
    const UsersRun run = RunUsers({"list"}, "");
    EXPECT_EQ(run.exit_code, 2) << run.output;
    EXPECT_NE(run.output.find("inspection_history.db"), std::string::npos) << run.output;
}

}  // namespace
