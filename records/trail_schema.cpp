// The tables of who may change what the station judges by, and of what they changed.
#include "records/schema.h"

namespace records {

namespace {

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
// before it (access/audit_row.h).
constexpr const char* CREATE_AUDIT = R"sql(
CREATE TABLE IF NOT EXISTS audit (
  seq          INTEGER PRIMARY KEY,
  at           TEXT NOT NULL,
  station      TEXT NOT NULL,
  user_name    TEXT NOT NULL,
  role         TEXT NOT NULL,
  action       TEXT NOT NULL,
  object       TEXT NOT NULL,
  before_value TEXT NOT NULL,
  after_value  TEXT NOT NULL,
  reason       TEXT NOT NULL,
  prev_hash    TEXT NOT NULL,
  hash         TEXT NOT NULL,
  software_version TEXT NOT NULL DEFAULT '',
  code         TEXT NOT NULL DEFAULT ''
))sql";

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

constexpr const char* CREATE_SERVER_AUDIT = R"sql(
CREATE TABLE IF NOT EXISTS audit (
  id           BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  station      TEXT NOT NULL,
  seq          BIGINT NOT NULL,
  at           TEXT COLLATE "C" NOT NULL,
  user_name    TEXT NOT NULL,
  role         TEXT NOT NULL,
  action       TEXT NOT NULL,
  object       TEXT NOT NULL,
  before_value TEXT NOT NULL,
  after_value  TEXT NOT NULL,
  reason       TEXT NOT NULL,
  prev_hash    TEXT NOT NULL,
  hash         TEXT NOT NULL,
  software_version TEXT NOT NULL DEFAULT '',
  UNIQUE (station, seq)
))sql";

constexpr const char* CREATE_SERVER_AUDIT_HEAD = R"sql(
CREATE TABLE IF NOT EXISTS audit_head (
  station TEXT PRIMARY KEY,
  seq     BIGINT NOT NULL,
  hash    TEXT NOT NULL
))sql";

}  // namespace

std::vector<std::string> TrailSchema() {
    std::vector<std::string> statements = {CREATE_USERS,        CREATE_AUDIT,
                                           CREATE_AUDIT_OUTBOX, CREATE_AUDIT_REFUSED,
                                           CREATE_SETTINGS,     CREATE_STATION_NAME};
    statements.insert(statements.end(), std::begin(AUDIT_KEPT_AS_WRITTEN),
                      std::end(AUDIT_KEPT_AS_WRITTEN));
    return statements;
}

std::vector<std::string> ServerTrailSchema() {
    return {CREATE_SERVER_AUDIT, CREATE_SERVER_AUDIT_HEAD};
}

std::string AuditRowColumns(int server_version) {
    return std::string(AUDIT_COLUMNS) + ", " + AUDIT_VERSION_COLUMN +
           (server_version >= WITNESS_LAYOUT ? std::string(", ") + AUDIT_CODE_COLUMN : "");
}

// The audit table came with the station's file version 4 and the server's version 2.
std::vector<std::string> TrailUpgrade(int from_version) {
    std::vector<std::string> statements;
    if (from_version == 4) {
        statements.push_back(std::string("ALTER TABLE audit ADD COLUMN ") + AUDIT_VERSION_COLUMN +
                             " TEXT NOT NULL DEFAULT ''");
    }
    if (from_version >= 4 && from_version < 7) {
        statements.push_back(std::string("ALTER TABLE audit ADD COLUMN ") + AUDIT_CODE_COLUMN +
                             " TEXT NOT NULL DEFAULT ''");
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
    return {std::string("ALTER TABLE audit ADD COLUMN IF NOT EXISTS ") + AUDIT_VERSION_COLUMN +
            " TEXT NOT NULL DEFAULT ''"};
}

}  // namespace records
