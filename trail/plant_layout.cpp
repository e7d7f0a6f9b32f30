#include "trail/plant_layout.h"

#include "trail/audit_row.h"

namespace trail {

namespace {

std::string Quoted(const char* text) {
    return std::string("'") + text + "'";
}

constexpr const char* TABLES[] = {
    "CREATE TABLE IF NOT EXISTS plant_user (name TEXT PRIMARY KEY, role TEXT NOT NULL CHECK (role "
    "IN ('viewer', 'engineer', 'administrator')), hash TEXT NOT NULL, failures INTEGER NOT NULL "
    "DEFAULT 0, locked_until TIMESTAMPTZ)",
    "CREATE TABLE IF NOT EXISTS plant_session (token_hash TEXT PRIMARY KEY, user_name TEXT NOT "
    "NULL REFERENCES plant_user (name) ON DELETE CASCADE, csrf TEXT NOT NULL, last_seen "
    "TIMESTAMPTZ NOT NULL)",
    "CREATE TABLE IF NOT EXISTS plant_trail (seq BIGINT PRIMARY KEY, at TEXT COLLATE \"C\" NOT "
    "NULL, user_name TEXT NOT NULL, action TEXT NOT NULL, object TEXT NOT NULL, before_value TEXT "
    "NOT NULL, after_value TEXT NOT NULL, prev_hash TEXT NOT NULL, hash TEXT NOT NULL)",
};

// The function's head: run as its owner, on the layout's schema alone.
std::string Head(const std::string& signature, const std::string& returns,
                 const std::string& path) {
    return "CREATE OR REPLACE FUNCTION " + signature + " RETURNS " + returns +
           " LANGUAGE plpgsql SECURITY DEFINER SET search_path = " + path + " AS $$\n";
}

// A row of the plant's trail: the next of its chain, its hash the SHA-256 of its fields, one a
// line, after the previous row's hash.
std::string Audit(const std::string& path) {
    return Head(
               "surge_plant_audit(who text, what text, object text, before_value text, "
               "after_value text)",
               "void", path) +
           R"sql(DECLARE
  last_seq bigint;
  last_hash text;
  stamp text := to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"');
BEGIN
  LOCK TABLE plant_trail IN EXCLUSIVE MODE;
  SELECT seq, hash INTO last_seq, last_hash FROM plant_trail ORDER BY seq DESC LIMIT 1;
  last_seq := COALESCE(last_seq, 0) + 1;
  last_hash := COALESCE(last_hash, repeat('0', 64));
  INSERT INTO plant_trail VALUES (last_seq, stamp, who, what, object, before_value, after_value,
    last_hash, encode(sha256(convert_to(concat_ws(E'\n', last_seq, stamp, who, what, object,
    before_value, after_value, last_hash), 'UTF8')), 'hex'));
END $$)sql";
}

// What the service checks a password against, and whether the user is locked now.
std::string Password(const std::string& path) {
    return Head("surge_plant_password(who text)", "TABLE (hash text, locked boolean)", path) +
           R"sql(BEGIN
  RETURN QUERY SELECT u.hash, COALESCE(u.locked_until > clock_timestamp(), false)
    FROM plant_user u WHERE u.name = who;
END $$)sql";
}

// The outcome of a login the service checked: a session begun, or a guess counted, the
// `lock_after`th in a row locking the user for `lock_minutes`.
std::string Login(const std::string& path) {
    return Head(
               "surge_plant_login(who text, matched boolean, token_hash text, csrf text, "
               "lock_after integer, lock_minutes integer)",
               "text", path) +
           "DECLARE\n  guesses integer;\n  until timestamptz;\nBEGIN\n"
           "  SELECT failures, locked_until INTO guesses, until FROM plant_user WHERE name = who "
           "FOR UPDATE;\n"
           "  IF NOT FOUND THEN\n    RETURN 'unknown';\n  END IF;\n"
           "  IF until > clock_timestamp() THEN\n    RETURN 'locked';\n  END IF;\n"
           "  IF matched THEN\n"
           "    UPDATE plant_user SET failures = 0, locked_until = NULL WHERE name = who;\n"
           "    INSERT INTO plant_session VALUES (token_hash, who, csrf, clock_timestamp());\n"
           "    PERFORM surge_plant_audit(who, " +
           Quoted(AUDIT_LOGIN) +
           ", 'plant', '', '');\n    RETURN 'ok';\n  END IF;\n"
           "  PERFORM surge_plant_audit(who, " +
           Quoted(AUDIT_FAILED_LOGIN) +
           ", 'plant', '', '');\n"
           "  IF guesses + 1 >= lock_after THEN\n"
           "    UPDATE plant_user SET failures = 0, locked_until = clock_timestamp() + "
           "make_interval(mins => lock_minutes) WHERE name = who;\n"
           "    PERFORM surge_plant_audit(who, " +
           Quoted(AUDIT_LOCK) +
           ", 'plant', '', '');\n    RETURN 'locked';\n  END IF;\n"
           "  UPDATE plant_user SET failures = guesses + 1 WHERE name = who;\n"
           "  RETURN 'wrong';\nEND $$";
}

// The session of a token, idle for less than `idle_minutes`, kept alive; the idle ones ended.
std::string Session(const std::string& path) {
    return Head("surge_plant_session(token text, idle_minutes integer)",
                "TABLE (user_name text, role text, csrf text)", path) +
           R"sql(BEGIN
  DELETE FROM plant_session
    WHERE last_seen < clock_timestamp() - make_interval(mins => idle_minutes);
  RETURN QUERY UPDATE plant_session s SET last_seen = clock_timestamp() FROM plant_user u
    WHERE s.token_hash = token AND u.name = s.user_name RETURNING s.user_name, u.role, s.csrf;
END $$)sql";
}

std::string Logout(const std::string& path) {
    return Head("surge_plant_logout(token text)", "void", path) +
           "DECLARE\n  who text;\nBEGIN\n"
           "  DELETE FROM plant_session WHERE token_hash = token RETURNING user_name INTO who;\n"
           "  IF who IS NOT NULL THEN\n    PERFORM surge_plant_audit(who, " +
           Quoted(AUDIT_LOGOUT) + ", 'plant', '', '');\n  END IF;\nEND $$";
}

// A user added, re-roled, given a password, locked, unlocked or removed by `by_name`, a row of the
// trail each: 'done', 'no such user' or 'exists'. A new password ends the user's sessions and lock.
std::string UserSet(const std::string& path) {
    return Head(
               "surge_plant_user_set(by_name text, what text, who text, new_role text, "
               "new_hash text)",
               "text", path) +
           "DECLARE\n  old_role text;\nBEGIN\n"
           "  SELECT role INTO old_role FROM plant_user WHERE name = who FOR UPDATE;\n"
           "  IF what = 'add' THEN\n"
           "    IF old_role IS NOT NULL THEN\n      RETURN 'exists';\n    END IF;\n"
           "    INSERT INTO plant_user (name, role, hash) VALUES (who, new_role, new_hash);\n"
           "    PERFORM surge_plant_audit(by_name, " +
           Quoted(AUDIT_USER_ADDED) +
           ", who, '', new_role);\n    RETURN 'done';\n  END IF;\n"
           "  IF old_role IS NULL THEN\n    RETURN 'no such user';\n  END IF;\n"
           "  IF what = 'role' THEN\n"
           "    UPDATE plant_user SET role = new_role WHERE name = who;\n"
           "    PERFORM surge_plant_audit(by_name, " +
           Quoted(AUDIT_USER_REROLED) +
           ", who, old_role, new_role);\n"
           "  ELSIF what = 'password' THEN\n"
           "    UPDATE plant_user SET hash = new_hash, failures = 0, locked_until = NULL WHERE "
           "name = who;\n"
           "    DELETE FROM plant_session WHERE user_name = who;\n"
           "    PERFORM surge_plant_audit(by_name, " +
           Quoted(AUDIT_PASSWORD_SET) +
           ", who, '', '');\n"
           "  ELSIF what = 'remove' THEN\n"
           "    DELETE FROM plant_user WHERE name = who;\n"
           "    PERFORM surge_plant_audit(by_name, " +
           Quoted(AUDIT_PLANT_USER_REMOVED) +
           ", who, old_role, '');\n"
           "  ELSIF what = 'lock' THEN\n"
           "    UPDATE plant_user SET locked_until = 'infinity' WHERE name = who;\n"
           "    DELETE FROM plant_session WHERE user_name = who;\n"
           "    PERFORM surge_plant_audit(by_name, " +
           Quoted(AUDIT_PLANT_USER_LOCKED) +
           ", who, '', '');\n"
           "  ELSIF what = 'unlock' THEN\n"
           "    UPDATE plant_user SET failures = 0, locked_until = NULL WHERE name = who;\n"
           "    PERFORM surge_plant_audit(by_name, " +
           Quoted(AUDIT_PLANT_USER_UNLOCKED) +
           ", who, '', '');\n"
           "  ELSE\n    RAISE EXCEPTION 'no change %', what;\n  END IF;\n"
           "  RETURN 'done';\nEND $$";
}

// A user change asked through the service: only a session of an administrator may make it.
std::string UserChange(const std::string& path) {
    return Head(
               "surge_plant_user_change(token text, what text, who text, new_role text, "
               "new_hash text)",
               "text", path) +
           R"sql(DECLARE
  by_name text;
  by_role text;
BEGIN
  SELECT u.name, u.role INTO by_name, by_role FROM plant_session s
    JOIN plant_user u ON u.name = s.user_name WHERE s.token_hash = token;
  IF by_role IS DISTINCT FROM 'administrator' THEN
    RETURN 'refused';
  END IF;
  RETURN surge_plant_user_set(by_name, what, who, new_role, new_hash);
END $$)sql";
}

// The plant users, for an administrator's session only: name, role, whether locked now and the
// time of the last login in the plant's trail.
std::string UserList(const std::string& path) {
    return Head("surge_plant_user_list(token text)",
                "TABLE (name text, role text, locked boolean, last_login text)", path) +
           R"sql(BEGIN
  IF NOT EXISTS (SELECT 1 FROM plant_session s JOIN plant_user u ON u.name = s.user_name
                 WHERE s.token_hash = token AND u.role = 'administrator') THEN
    RETURN;
  END IF;
  RETURN QUERY SELECT u.name, u.role, COALESCE(u.locked_until > clock_timestamp(), false),
    (SELECT max(t.at) FROM plant_trail t WHERE t.user_name = u.name AND t.action = 'login')
    FROM plant_user u ORDER BY u.name;
END $$)sql";
}

// A record kept by the server told on RECORD_CHANNEL once its transaction commits (a record the
// server passes over, sent twice, is not).
std::string RecordNotify() {
    return std::string(
               "CREATE OR REPLACE FUNCTION surge_record_notify() RETURNS trigger LANGUAGE "
               "plpgsql AS $$\nBEGIN\n  PERFORM pg_notify('") +
           RECORD_CHANNEL + "', NEW.station);\n  RETURN NULL;\nEND $$";
}

// Each function, and whether the service may call it (never the trail's row, nor a change by
// the DBA's hand).
struct Function {
    const char* signature;
    bool for_service;
};
constexpr Function FUNCTIONS[] = {
    {"surge_plant_audit(text, text, text, text, text)", false},
    {"surge_plant_password(text)", true},
    {"surge_plant_login(text, boolean, text, text, integer, integer)", true},
    {"surge_plant_session(text, integer)", true},
    {"surge_plant_logout(text)", true},
    {"surge_plant_user_set(text, text, text, text, text)", false},
    {"surge_plant_user_change(text, text, text, text, text)", true},
    {"surge_plant_user_list(text)", true},
    {"surge_record_notify()", false},
};
constexpr const char* SERVICE_READS =
    "inspection, audit, audit_head, record_head, station_login, schema_version, server_layout, "
    "plant_trail";

}  // namespace

std::string PlantTrailText(const AuditRow& row) {
    std::string text = std::to_string(row.seq);
    for (const std::string* field :
         {&row.at, &row.user, &row.action, &row.object, &row.before, &row.after, &row.prev_hash}) {
        text += '\n';
        text += *field;
    }
    return text;
}

std::vector<std::string> PlantLayoutStatements(const std::string& schema) {
    const std::string path = schema + ", pg_temp";
    std::vector<std::string> statements(std::begin(TABLES), std::end(TABLES));
    statements.push_back(std::string("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE "
                                     "rolname = '") +
                         PLANT_ROLE + "') THEN CREATE ROLE " + PLANT_ROLE +
                         " NOLOGIN; END IF; END $$");
    for (const std::string& function :
         {Audit(path), Password(path), Login(path), Session(path), Logout(path), UserSet(path),
          UserChange(path), UserList(path), RecordNotify()}) {
        statements.push_back(function);
    }
    statements.push_back(
        "CREATE OR REPLACE TRIGGER inspection_notify AFTER INSERT ON inspection FOR EACH ROW "
        "EXECUTE FUNCTION surge_record_notify()");
    // 라인 현황's drift: a station's newest readings of a master, and its version's first tests.
    statements.push_back(
        "CREATE INDEX IF NOT EXISTS inspection_station_master ON inspection (station, master, "
        "started_at, id)");
    statements.push_back(
        "CREATE INDEX IF NOT EXISTS inspection_station_version ON inspection (station, "
        "master_version, started_at, id)");
    for (const char* table : {"plant_user", "plant_session", "plant_trail"}) {
        statements.push_back(std::string("ALTER TABLE ") + table + " OWNER TO surge_owner");
        statements.push_back(std::string("REVOKE ALL ON ") + table + " FROM PUBLIC");
    }
    for (const Function& function : FUNCTIONS) {
        const std::string signature = function.signature;
        statements.push_back("ALTER FUNCTION " + signature + " OWNER TO surge_owner");
        statements.push_back("REVOKE ALL ON FUNCTION " + signature + " FROM PUBLIC");
        if (function.for_service) {
            statements.push_back("GRANT EXECUTE ON FUNCTION " + signature + " TO " + PLANT_ROLE);
        }
    }
    statements.push_back(std::string("GRANT SELECT ON ") + SERVICE_READS + " TO " + PLANT_ROLE);
    return statements;
}

}  // namespace trail
