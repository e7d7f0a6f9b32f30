#include "trail/server_setup.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "records/audit_columns.h"
#include "records/columns.h"
#include "records/record_chain.h"
#include "records/schema.h"
#include "records/server_config.h"
#include "records/server_link.h"
#include "trail/audit_row.h"
#include "trail/plant_layout.h"
#include "trail/record_partitions.h"

namespace trail {

namespace {

const QString CONNECTION = QStringLiteral("surge_setup_server");
// The advisory lock's first key, with the station's hash as the second, under which a record
// arrives.
constexpr int RECORD_ARRIVAL_LOCK = 20261211;

// What a station's login may do with each table: read all, append to the records, the trail
// and (for a station of an earlier version, which moves it itself) the trail's head.
constexpr const char* READ_TABLES =
    "inspection, audit, audit_head, record_head, station_login, schema_version, server_layout, "
    "wave_features, inspection_with_features";
constexpr const char* APPEND_TABLES = "inspection, audit, audit_head, wave_features";

// Raises the refusal a station is told: SQLSTATE 23000, which a station sets aside or waits on.
std::string Refuse(const std::string& message) {
    return "RAISE EXCEPTION USING ERRCODE = 'integrity_constraint_violation', MESSAGE = " +
           message + ";";
}

// Only the station its login was given may send: a station's rows bound to its login.
std::string BoundStation() {
    return R"sql(
CREATE OR REPLACE FUNCTION surge_bound_station(sent text) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
  bound text;
BEGIN
  IF pg_has_role(session_user, 'surge_owner', 'MEMBER') THEN
    RETURN;
  END IF;
  SELECT station INTO bound FROM station_login WHERE login = session_user;
  IF bound IS DISTINCT FROM sent THEN
    )sql" +
           Refuse(
               "format('the login %s may not send as station %s%s', session_user, sent, "
               "COALESCE(' (it sends as ' || bound || ')', ''))") +
           R"sql(
  END IF;
END $$)sql";
}

// Each audit row as it arrives: its station's own, the next of its chain on the server, its hash
// that of its text; stamped with the server's time, the head moved on.
std::string AuditArrives(const std::string& path) {
    return "CREATE OR REPLACE FUNCTION surge_audit_arrives() RETURNS trigger LANGUAGE plpgsql "
           "SECURITY DEFINER SET search_path = " +
           path + R"sql( AS $$
DECLARE
  head_seq bigint;
  head_hash text;
  held text;
BEGIN
  PERFORM surge_bound_station(NEW.station);
  SELECT seq, hash INTO head_seq, head_hash FROM audit_head WHERE station = NEW.station FOR UPDATE;
  IF head_seq IS NOT NULL AND NEW.seq <= head_seq THEN
    SELECT hash INTO held FROM audit WHERE station = NEW.station AND seq = NEW.seq;
    IF held = NEW.hash THEN
      RETURN NULL;
    END IF;
    )sql" +
           Refuse(
               "format('the server holds another row at seq %s of station %s', NEW.seq, "
               "NEW.station)") +
           R"sql(
  END IF;
  IF NEW.seq <> COALESCE(head_seq, 0) + 1 THEN
    )sql" +
           Refuse(
               "format('seq %s of station %s does not follow the server''s head, seq %s', "
               "NEW.seq, NEW.station, COALESCE(head_seq, 0))") +
           R"sql(
  END IF;
  IF NEW.prev_hash <> COALESCE(head_hash, repeat('0', 64)) THEN
    )sql" +
           Refuse(
               "format('seq %s of station %s: its prev_hash is not the hash of the server''s "
               "seq %s', NEW.seq, NEW.station, COALESCE(head_seq, 0))") +
           R"sql(
  END IF;
  IF NEW.hash <> encode(sha256(convert_to()sql" +
           CanonicalTextSql("NEW") + R"sql(, 'UTF8')), 'hex') THEN
    )sql" +
           Refuse(
               "format('seq %s of station %s: its hash is not the SHA-256 of its text', "
               "NEW.seq, NEW.station)") +
           R"sql(
  END IF;
  NEW.received_at := clock_timestamp();
  INSERT INTO audit_head (station, seq, hash) VALUES (NEW.station, NEW.seq, NEW.hash)
    ON CONFLICT (station) DO UPDATE SET seq = EXCLUDED.seq, hash = EXCLUDED.hash;
  RETURN NEW;
END $$)sql";
}

// Each record as it arrives: its station's own, kept once, its hash computed here from what
// arrived, its seq held by no other. Once a station's chain has begun, a record after its start
// comes in the chain. The records are partitioned by month, so no unique index holds a station's
// uuid or seq across them: a lock of the station's keeps two of its arrivals apart while they look.
std::string RecordArrives(const std::string& path) {
    return "CREATE OR REPLACE FUNCTION surge_record_arrives() RETURNS trigger LANGUAGE plpgsql "
           "SECURITY DEFINER SET search_path = " +
           path + R"sql( AS $$
DECLARE
  began text;
BEGIN
  PERFORM surge_bound_station(NEW.station);
  PERFORM pg_advisory_xact_lock()sql" +
           std::to_string(RECORD_ARRIVAL_LOCK) + R"sql(, hashtext(NEW.station));
  IF EXISTS (SELECT 1 FROM inspection WHERE station = NEW.station AND uuid = NEW.uuid) THEN
    RETURN NULL;
  END IF;
  IF NEW.seq IS NULL THEN
    SELECT began_at INTO began FROM record_head WHERE station = NEW.station;
    IF began IS NOT NULL AND NEW.started_at >= began THEN
      )sql" +
           Refuse(
               "format('station %s sends its records in a chain: this one has none', "
               "NEW.station)") +
           R"sql(
    END IF;
  ELSIF NEW.hash IS DISTINCT FROM )sql" +
           records::RecordHashSql("NEW") + R"sql( THEN
    )sql" +
           Refuse(
               "format('record seq %s of station %s: its hash is not the SHA-256 of its "
               "columns', NEW.seq, NEW.station)") +
           R"sql(
  ELSIF EXISTS (SELECT 1 FROM inspection WHERE station = NEW.station AND seq = NEW.seq) THEN
    )sql" +
           Refuse(
               "format('record seq %s of station %s: the server holds another record at that "
               "seq', NEW.seq, NEW.station)") +
           R"sql(
  ELSE
    INSERT INTO record_head (station, seq, hash, began_at)
      VALUES (NEW.station, NEW.seq, NEW.hash, NEW.started_at)
      ON CONFLICT (station) DO UPDATE SET seq = EXCLUDED.seq, hash = EXCLUDED.hash
      WHERE record_head.seq < EXCLUDED.seq;
  END IF;
  NEW.received_at := clock_timestamp();
  RETURN NEW;
END $$)sql";
}

// The wave's features of a record kept before, as they arrive: its station's own, stamped. A row
// the server holds already is kept once by the insert's own ON CONFLICT.
std::string FeaturesArrive(const std::string& path) {
    return "CREATE OR REPLACE FUNCTION surge_features_arrive() RETURNS trigger LANGUAGE plpgsql "
           "SECURITY DEFINER SET search_path = " +
           path + R"sql( AS $$
BEGIN
  PERFORM surge_bound_station(NEW.station);
  NEW.received_at := clock_timestamp();
  RETURN NEW;
END $$)sql";
}

// The trail's head is the server's: a station of an earlier version moves it after its rows, and
// that is passed over; nobody else moves it.
constexpr const char* HEAD_KEPT = R"sql(
CREATE OR REPLACE FUNCTION surge_head_kept() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF current_user = 'surge_owner' THEN
    RETURN NEW;
  END IF;
  IF TG_OP = 'INSERT' THEN
    RETURN NULL;
  END IF;
  RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege',
    MESSAGE = 'the head of a station''s trail is the server''s own';
END $$)sql";

std::string Trigger(const char* name, const char* when, const char* table, const char* function) {
    return std::string("CREATE OR REPLACE TRIGGER ") + name + " " + when + " ON " + table +
           " FOR EACH ROW EXECUTE FUNCTION " + function + "()";
}

bool Run(QSqlQuery& query, const std::string& sql, std::string* error) {
    if (query.exec(QString::fromStdString(sql))) {
        return true;
    }
    *error = query.lastError().databaseText().trimmed().toStdString() + " (" +
             sql.substr(0, sql.find('\n', 1)) + ")";
    return false;
}

std::string QuotedName(const std::string& name) {
    return "\"" + QString::fromStdString(name).replace("\"", "\"\"").toStdString() + "\"";
}

// The station's login: an existing login, given the station alone; read and append only.
bool GrantStation(QSqlQuery& query, const StationLogin& station, std::string* report,
                  std::string* error) {
    query.prepare(QStringLiteral("SELECT rolcanlogin FROM pg_roles WHERE rolname = ?"));
    query.addBindValue(QString::fromStdString(station.login));
    if (!query.exec() || !query.next() || !query.value(0).toBool()) {
        *error = "there is no login " + station.login;
        return false;
    }
    query.prepare(
        QStringLiteral("INSERT INTO station_login (station, login) VALUES (?, ?) "
                       "ON CONFLICT DO NOTHING"));
    query.addBindValue(QString::fromStdString(station.station));
    query.addBindValue(QString::fromStdString(station.login));
    if (!query.exec()) {
        *error = query.lastError().databaseText().trimmed().toStdString();
        return false;
    }
    query.prepare(QStringLiteral("SELECT login FROM station_login WHERE station = ?"));
    query.addBindValue(QString::fromStdString(station.station));
    const std::string bound =
        query.exec() && query.next() ? query.value(0).toString().toStdString() : std::string();
    if (bound != station.login) {
        *report += "station " + station.station + " appends as login " + bound +
                   " already: left as it is\n";
        return true;
    }
    const std::string login = QuotedName(station.login);
    for (const std::string& grant :
         {"REVOKE ALL ON " + std::string(READ_TABLES) + " FROM " + login,
          "GRANT SELECT ON " + std::string(READ_TABLES) + " TO " + login,
          "GRANT INSERT ON " + std::string(APPEND_TABLES) + " TO " + login,
          "GRANT UPDATE (seq, hash) ON audit_head TO " + login}) {
        if (!Run(query, grant, error)) {
            return false;
        }
    }
    *report += "station " + station.station + " appends as login " + station.login + "\n";
    return true;
}

bool SetUp(QSqlDatabase& db, const std::vector<StationLogin>& stations,
           const std::string& plant_login, std::string* report, std::string* error) {
    QSqlQuery query(db);
    const auto run = [&](const std::string& sql) { return Run(query, sql, error); };
    if (!run("SELECT pg_advisory_xact_lock(" + std::to_string(records::SERVER_SCHEMA_LOCK) + ")") ||
        !run(records::CREATE_SCHEMA_VERSION) ||
        !run("SELECT COALESCE(MAX(version), 0), quote_ident(current_schema()) FROM "
             "schema_version") ||
        !query.next()) {
        return false;
    }
    const int version = query.value(0).toInt();
    const std::string schema = query.value(1).toString().toStdString();
    if (version > records::SCHEMA_VERSION) {
        *error = "the server's schema is of version " + std::to_string(version) +
                 ", newer than this program's";
        return false;
    }
    if (version < records::SCHEMA_VERSION) {
        for (const std::string& statement : records::ServerSchema(version)) {
            if (!run(statement)) {
                return false;
            }
        }
    }
    const auto run_all = [&](const std::vector<std::string>& statements) {
        for (const std::string& statement : statements) {
            if (!run(statement)) {
                return false;
            }
        }
        return true;
    };
    if (!run_all(WitnessStatements(schema)) || !run(RECORDS_UNPARTITIONED)) {
        return false;
    }
    if (query.next() && query.value(0).toBool() && !run_all(PartitionRecords(schema))) {
        return false;
    }
    if (!run_all(PartitionLayoutStatements(schema)) || !run_all(PlantLayoutStatements(schema))) {
        return false;
    }
    if (!plant_login.empty()) {
        if (!run(std::string("GRANT ") + PLANT_ROLE + " TO " + QuotedName(plant_login))) {
            return false;
        }
        *report += "the plant view's service logs in as " + plant_login + "\n";
    }
    for (const StationLogin& station : stations) {
        if (!GrantStation(query, station, report, error)) {
            return false;
        }
    }
    return run_all(StationLoginStatements(schema));
}

// Adds each column of `table` that a server gains with the witness layout.
template <typename Columns>
void AddWitnessColumns(const char* table, const Columns& columns,
                       std::vector<std::string>* statements) {
    for (const auto& column : columns) {
        if (column.server_since > records::SCHEMA_VERSION &&
            column.server_since <= records::SERVER_LAYOUT) {
            statements->push_back(std::string("ALTER TABLE ") + table +
                                  " ADD COLUMN IF NOT EXISTS " + column.name + " " +
                                  column.server_type);
        }
    }
}

}  // namespace

std::vector<std::string> WitnessStatements(const std::string& schema) {
    const std::string path = schema + ", pg_temp";
    std::vector<std::string> statements = {
        "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'surge_owner') THEN "
        "CREATE ROLE surge_owner NOLOGIN; END IF; IF NOT pg_has_role(current_user, 'surge_owner', "
        "'MEMBER') THEN GRANT surge_owner TO CURRENT_USER; END IF; END $$",
    };
    AddWitnessColumns("inspection", records::InspectionColumns(), &statements);
    statements.push_back("ALTER TABLE inspection ADD COLUMN IF NOT EXISTS received_at TIMESTAMPTZ");
    AddWitnessColumns("audit", records::AUDIT_ROW_COLUMNS, &statements);
    const std::vector<std::string> more = {
        "ALTER TABLE audit ADD COLUMN IF NOT EXISTS received_at TIMESTAMPTZ",
        "CREATE TABLE IF NOT EXISTS record_head (station TEXT PRIMARY KEY, seq BIGINT NOT NULL, "
        "hash TEXT NOT NULL, began_at TEXT COLLATE \"C\" NOT NULL)",
        "CREATE TABLE IF NOT EXISTS station_login (station TEXT PRIMARY KEY, login TEXT NOT NULL "
        "UNIQUE)",
        "CREATE TABLE IF NOT EXISTS server_layout (version INTEGER NOT NULL)",
        BoundStation(),
        AuditArrives(path),
        RecordArrives(path),
        FeaturesArrive(path),
        HEAD_KEPT,
        Trigger("audit_arrives", "BEFORE INSERT", "audit", "surge_audit_arrives"),
        Trigger("inspection_arrives", "BEFORE INSERT", "inspection", "surge_record_arrives"),
        Trigger("audit_head_kept", "BEFORE INSERT OR UPDATE", "audit_head", "surge_head_kept"),
    };
    const std::vector<std::string> features = records::ServerFeaturesSchema();
    statements.insert(statements.end(), features.begin(), features.end());
    statements.insert(statements.end(), more.begin(), more.end());
    statements.push_back(
        Trigger("wave_features_arrive", "BEFORE INSERT", "wave_features", "surge_features_arrive"));
    for (const char* table :
         {"inspection", "audit", "audit_head", "record_head", "station_login", "schema_version",
          "server_layout", "wave_features", records::SERVER_FEATURES_VIEW}) {
        statements.push_back(std::string("ALTER TABLE ") + table + " OWNER TO surge_owner");
        statements.push_back(std::string("REVOKE ALL ON ") + table + " FROM PUBLIC");
    }
    for (const char* function :
         {"surge_bound_station(text)", "surge_audit_arrives()", "surge_record_arrives()",
          "surge_features_arrive()", "surge_head_kept()"}) {
        statements.push_back(std::string("ALTER FUNCTION ") + function + " OWNER TO surge_owner");
    }
    const std::string layout = std::to_string(records::SERVER_LAYOUT);
    statements.push_back("UPDATE server_layout SET version = " + layout + " WHERE version < " +
                         layout);
    statements.push_back("INSERT INTO server_layout SELECT " + layout +
                         " WHERE NOT EXISTS (SELECT 1 FROM server_layout)");
    return statements;
}

SetupOutcome InDbaTransaction(const std::string& no_server, const std::string& failed,
                              const std::function<bool(QSqlDatabase& db, const std::string& where,
                                                       std::string* text)>& work) {
    QString setting_error;
    const std::optional<records::ServerConfig> server = records::ReadServerConfig(&setting_error);
    if (!server) {
        return {false, setting_error.isEmpty()
                           ? no_server + ": SURGE_HISTORY_DB is not set"
                           : "cannot use SURGE_HISTORY_DB: " + setting_error.toStdString()};
    }
    QString reason;
    SetupOutcome outcome;
    if (records::ConnectToRead(*server, CONNECTION, &reason) != records::Link::Ok) {
        outcome.text = "cannot reach the server " + server->Where().toStdString() + ": " +
                       reason.toStdString();
    } else {
        QSqlDatabase db = QSqlDatabase::database(CONNECTION, false);
        QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = 0"));
        const std::string where = server->Where().toStdString();
        std::string text;
        const bool worked = db.transaction() && work(db, where, &text);
        if (worked && db.commit()) {
            outcome = {true, text};
        } else {
            const std::string why =
                worked || text.empty() ? db.lastError().text().toStdString() : text;
            db.rollback();
            outcome.text = failed + " " + where + ": " + why;
        }
    }
    records::Drop(CONNECTION);
    return outcome;
}

SetupOutcome SetUpServer(const std::vector<StationLogin>& stations,
                         const std::string& plant_login) {
    return InDbaTransaction("no server to set up", "could not set up",
                            [&](QSqlDatabase& db, const std::string& where, std::string* text) {
                                std::string report;
                                if (!SetUp(db, stations, plant_login, &report, text)) {
                                    return false;
                                }
                                *text = where + " is set up as a witness (layout " +
                                        std::to_string(records::SERVER_LAYOUT) + ")\n" + report;
                                return true;
                            });
}

std::string WhyNoWitness(const std::string& connection, const std::string& station) {
    QSqlQuery query(QSqlDatabase::database(QString::fromStdString(connection), false));
    if (!query.exec(QStringLiteral("SELECT to_regclass('server_layout') IS NOT NULL AND "
                                   "to_regclass('station_login') IS NOT NULL")) ||
        !query.next() || !query.value(0).toBool()) {
        return "the server was not set up as a witness (surge-audit setup-server): whoever holds "
               "the station's login may change or remove its rows there";
    }
    query.prepare(QStringLiteral(
        "SELECT login, pg_has_role(login, 'surge_owner', 'MEMBER'), "
        "has_table_privilege(login, 'audit', 'UPDATE, DELETE, TRUNCATE, TRIGGER'), "
        "has_table_privilege(login, 'inspection', 'UPDATE, DELETE, TRUNCATE, TRIGGER'), "
        "has_table_privilege(login, 'audit_head', 'DELETE, TRUNCATE, TRIGGER') "
        "FROM station_login WHERE station = ?"));
    query.addBindValue(QString::fromStdString(station));
    if (!query.exec()) {
        return "the server's witness cannot be read: " +
               query.lastError().databaseText().trimmed().toStdString();
    }
    if (!query.next()) {
        return "no login appends as station " + station + " on the server";
    }
    const std::string login = query.value(0).toString().toStdString();
    if (query.value(1).toBool() || query.value(2).toBool() || query.value(3).toBool() ||
        query.value(4).toBool()) {
        return "the station's login " + login + " may change or remove rows on the server";
    }
    return {};
}

}  // namespace trail
