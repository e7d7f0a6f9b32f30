// The tables of who may change what the station judges by, and of what they changed.
#include "records/schema.h"

namespace records {

namespace {

// "  name         TYPE", the names aligned.
std::string ColumnLine(const std::string& name, const char* type) {
    constexpr std::size_t WIDTH = 12;
    return "  " + name + std::string(name.size() < WIDTH ? WIDTH - name.size() : 0, ' ') + " " +
           type;
}

// `alter` and the column `name` as the station's file has it.
std::string AddColumn(const char* alter, const char* name) {
    const AuditColumn& column = AUDIT_ROW_COLUMNS[AuditPlace(name)];
    return std::string(alter) + column.name + " " + column.local_type;
}

// A user: a name, a badge code that logs in with the password too, a role, the Argon2id hash of
// the password (never the password), and the wrong passwords in a row that lock the user.
constexpr const char* CREATE_USERS = R"sql(
CREATE TABLE IF NOT EXISTS users (
  name         TEXT PRIMARY KEY,
  badge        TEXT UNIQUE,
  role         TEXT NOT NULL,
  hash         TEXT NOT NULL,
  disabled     INTEGER NOT NULL DEFAULT 0,
  failures     INTEGER NOT NULL DEFAULT 0,
  locked_until TEXT
))sql";

// The audit trail: rows are added, never changed or taken away; each row's hash covers the one
// before it (trail/audit_row.h).
std::string CreateAudit() {
    std::string columns;
    for (const AuditColumn& column : AUDIT_ROW_COLUMNS) {
        columns += (columns.empty() ? "" : ",\n") + ColumnLine(column.name, column.local_type);
    }
    return "\nCREATE TABLE IF NOT EXISTS audit (\n" + columns + "\n)";
}

constexpr const char* AUDIT_KEPT_AS_WRITTEN[] = {
    "CREATE TRIGGER IF NOT EXISTS audit_never_changed BEFORE UPDATE ON audit BEGIN "
    "SELECT RAISE(ABORT, 'the audit trail is added to, never changed'); END",
    "CREATE TRIGGER IF NOT EXISTS audit_never_deleted BEFORE DELETE ON audit BEGIN "
    "SELECT RAISE(ABORT, 'the audit trail is added to, never changed'); END",
};

// The audit rows no server has acknowledged yet, by their seq.
constexpr const char* CREATE_AUDIT_OUTBOX =
    "CREATE TABLE IF NOT EXISTS audit_outbox (seq INTEGER PRIMARY KEY)";

// The audit rows a server refused (a value its database cannot hold, a constraint of its own,
// another row at their seq), set aside with when and the server's message; sent again from time
// to time, until it takes them.
constexpr const char* CREATE_AUDIT_REFUSED =
    "CREATE TABLE IF NOT EXISTS audit_refused (seq INTEGER PRIMARY KEY, refused_at TEXT NOT NULL, "
    "message TEXT NOT NULL)";

// "section/key" and its value, of the settings last read well from "station.ini".
constexpr const char* CREATE_SETTINGS =
    "CREATE TABLE IF NOT EXISTS settings (key TEXT PRIMARY KEY, value TEXT NOT NULL)";

// The station's name, kept at its first start: its records and its chain on a server go by it.
constexpr const char* CREATE_STATION_NAME =
    "CREATE TABLE IF NOT EXISTS station_name (name TEXT NOT NULL)";

// A master's line stops and a user's rows, which the gates and each login read back.
constexpr const char* CREATE_AUDIT_OBJECT_INDEX =
    "CREATE INDEX IF NOT EXISTS audit_object ON audit (object, action)";

// On a server a row is kept once by its station and seq; the station comes first.
std::string CreateServerAudit() {
    const std::size_t station = AuditPlace("station");
    std::string columns =
        ColumnLine("id", "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY") + ",\n" +
        ColumnLine(AUDIT_ROW_COLUMNS[station].name, AUDIT_ROW_COLUMNS[station].server_type);
    for (const AuditColumn& column : AUDIT_ROW_COLUMNS) {
        if (&column != &AUDIT_ROW_COLUMNS[station] && column.server_since <= SCHEMA_VERSION) {
            columns += ",\n" + ColumnLine(column.name, column.server_type);
        }
    }
    return "\nCREATE TABLE IF NOT EXISTS audit (\n" + columns + ",\n  UNIQUE (station, seq)\n)";
}

constexpr const char* CREATE_SERVER_AUDIT_HEAD = R"sql(
CREATE TABLE IF NOT EXISTS audit_head (
  station TEXT PRIMARY KEY,
  seq     BIGINT NOT NULL,
  hash    TEXT NOT NULL
))sql";

}  // namespace

std::vector<std::string> TrailSchema() {
    std::vector<std::string> statements = {CREATE_USERS,        CreateAudit(),
                                           CREATE_AUDIT_OUTBOX, CREATE_AUDIT_REFUSED,
                                           CREATE_SETTINGS,     CREATE_STATION_NAME};
    statements.insert(statements.end(), std::begin(AUDIT_KEPT_AS_WRITTEN),
                      std::end(AUDIT_KEPT_AS_WRITTEN));
    return statements;
}

std::vector<std::string> ServerTrailSchema() {
    return {CreateServerAudit(), CREATE_SERVER_AUDIT_HEAD};
}

// The audit table came with the station's file version 4 and the server's version 2.
std::vector<std::string> TrailUpgrade(int from_version) {
    std::vector<std::string> statements;
    if (from_version == 4) {
        statements.push_back(AddColumn("ALTER TABLE audit ADD COLUMN ", AUDIT_VERSION_COLUMN));
    }
    if (from_version >= 4 && from_version < 7) {
        statements.push_back(AddColumn("ALTER TABLE audit ADD COLUMN ", AUDIT_CODE_COLUMN));
        // A row a server refused now waits for it in the chain's order, with the rows after it.
        statements.push_back("INSERT OR IGNORE INTO audit_outbox SELECT seq FROM audit_refused");
        statements.push_back("DELETE FROM audit_refused");
        // The name the file's trail has gone by.
        statements.push_back(
            "INSERT INTO station_name SELECT station FROM audit ORDER BY seq DESC LIMIT 1");
    }
    statements.push_back(CREATE_AUDIT_OBJECT_INDEX);
    return statements;
}

std::vector<std::string> ServerTrailUpgrade(int from_version) {
    if (from_version >= 3) {
        return {};
    }
    const AuditColumn& column = AUDIT_ROW_COLUMNS[AuditPlace(AUDIT_VERSION_COLUMN)];
    return {std::string("ALTER TABLE audit ADD COLUMN IF NOT EXISTS ") + column.name + " " +
            column.server_type};
}

}  // namespace records
