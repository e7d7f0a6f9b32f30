#include "trail/record_partitions.h"

#include "records/columns.h"
#include "records/schema.h"

namespace trail {

namespace {

constexpr const char* UNPARTITIONED = "inspection_unpartitioned";

// The record's columns on a server of this layout, the row id left out (the server gives it).
std::vector<const records::Column*> SentColumns() {
    std::vector<const records::Column*> columns;
    for (const records::Column& column : records::InspectionColumns()) {
        if (column.value != nullptr && column.server_since <= records::SERVER_LAYOUT) {
            columns.push_back(&column);
        }
    }
    return columns;
}

std::string Cut(std::string type, const char* from) {
    const std::size_t at = type.find(from);
    return at == std::string::npos ? type : type.erase(at);
}

// "TEXT COLLATE "C" NOT NULL" as a parameter's type, "TEXT".
std::string BareType(const std::string& server_type) {
    std::string type = server_type;
    for (const char* tail : {" COLLATE", " NOT NULL", " DEFAULT", " PRIMARY"}) {
        type = Cut(type, tail);
    }
    return type;
}

std::string DefaultOf(const std::string& server_type) {
    constexpr const char* DEFAULT = " DEFAULT ";
    const std::size_t at = server_type.find(DEFAULT);
    return at == std::string::npos ? "NULL" : server_type.substr(at + std::string(DEFAULT).size());
}

// The columns' names joined, each with `prefix`; received_at after them when `received`.
std::string Names(const std::string& prefix, bool received) {
    std::string names;
    for (const records::Column* column : SentColumns()) {
        names += (names.empty() ? "" : ", ") + prefix + column->name;
    }
    return received ? names + ", " + prefix + "received_at" : names;
}

std::string ColumnDefinitions(bool with_id) {
    std::string columns;
    for (const records::Column& column : records::InspectionColumns()) {
        if (column.value == nullptr && with_id) {
            columns += std::string(column.name) + " " + Cut(column.server_type, " PRIMARY") + ", ";
        }
    }
    for (const records::Column* column : SentColumns()) {
        columns += std::string(column->name) + " " + column->server_type + ", ";
    }
    return columns + "received_at TIMESTAMPTZ";
}

// The partitions of the months `months` names, of the months the default partition holds rows
// of, and of this one and `ahead` after it: each made, the default's rows of its month moved in,
// then attached. A month whose table exists is left as it is, a detached one too (its rows stay
// in the default partition).
std::string KeepPartitions(const std::string& path) {
    return "CREATE OR REPLACE FUNCTION surge_keep_partitions(months text[], ahead integer) "
           "RETURNS text LANGUAGE plpgsql SET search_path = " +
           path + R"sql( AS $$
DECLARE
  m text;
  upper text;
  part text;
  made text[] := '{}';
BEGIN
  FOR m IN SELECT DISTINCT x FROM (SELECT unnest(months) AS x
      UNION SELECT substr(started_at, 1, 7) FROM inspection_default
      UNION SELECT to_char(date_trunc('month', now()) + make_interval(months => k), 'YYYY-MM')
        FROM generate_series(0, ahead) k) s
    WHERE x ~ '^[0-9]{4}-(0[1-9]|1[0-2])$' ORDER BY 1
  LOOP
    part := 'inspection_' || replace(m, '-', '_');
    CONTINUE WHEN to_regclass(part) IS NOT NULL;
    upper := to_char(to_date(m || '-01', 'YYYY-MM-DD') + interval '1 month', 'YYYY-MM');
    EXECUTE format('CREATE TABLE %I (LIKE inspection INCLUDING DEFAULTS)', part);
    EXECUTE format('WITH moved AS (DELETE FROM inspection_default WHERE started_at >= %L AND '
                   'started_at < %L RETURNING *) INSERT INTO %I SELECT * FROM moved',
                   m, upper, part);
    EXECUTE format('ALTER TABLE inspection ATTACH PARTITION %I FOR VALUES FROM (%L) TO (%L)',
                   part, m, upper);
    EXECUTE format('ALTER TABLE %I OWNER TO surge_owner', part);
    EXECUTE format('REVOKE ALL ON %I FROM PUBLIC', part);
    made := made || m;
  END LOOP;
  RETURN array_to_string(made, ', ');
END $$)sql";
}

// A station of this version appends a record through this, by its columns' names: true when the
// server keeps it now, false when it held it already. The arrival trigger checks it as any.
std::string AppendRecord(const std::string& path) {
    std::string parameters;
    std::string values;
    int place = 0;
    for (const records::Column* column : SentColumns()) {
        const std::string comma = place == 0 ? "" : ", ";
        ++place;
        parameters += comma + "\"" + column->name + "\" " + BareType(column->server_type) +
                      " DEFAULT " + DefaultOf(column->server_type);
        values += comma + "$" + std::to_string(place);
    }
    return std::string("CREATE OR REPLACE FUNCTION ") + records::RECORD_APPEND_FUNCTION + "(" +
           parameters +
           ") RETURNS boolean LANGUAGE plpgsql SECURITY DEFINER SET search_path = " + path +
           " AS $$\nDECLARE\n  kept integer;\nBEGIN\n  INSERT INTO inspection (" +
           Names("", false) + ") VALUES (" + values +
           ");\n  GET DIAGNOSTICS kept = ROW_COUNT;\n  RETURN kept > 0;\nEND $$";
}

// The intake: a plain table with the unique key an earlier station's insert names, where no row
// stays; each is appended to the records as it arrives.
std::vector<std::string> Intake(const std::string& path) {
    const std::string table = std::string(records::SERVER_INTAKE_SCHEMA) + ".inspection";
    std::vector<std::string> statements = {
        std::string("CREATE SCHEMA IF NOT EXISTS ") + records::SERVER_INTAKE_SCHEMA,
        "ALTER SCHEMA " + std::string(records::SERVER_INTAKE_SCHEMA) + " OWNER TO surge_owner",
        "CREATE TABLE IF NOT EXISTS " + table + " (" + ColumnDefinitions(false) +
            ", UNIQUE (station, uuid))",
    };
    for (const records::Column* column : SentColumns()) {
        statements.push_back("ALTER TABLE " + table + " ADD COLUMN IF NOT EXISTS " + column->name +
                             " " + column->server_type);
    }
    statements.push_back(
        "CREATE OR REPLACE FUNCTION surge_intake_arrives() RETURNS trigger LANGUAGE plpgsql "
        "SECURITY DEFINER SET search_path = " +
        path + " AS $$\nBEGIN\n  INSERT INTO inspection (" + Names("", false) + ") VALUES (" +
        Names("NEW.", false) + ");\n  RETURN NULL;\nEND $$");
    statements.push_back("CREATE OR REPLACE TRIGGER intake_arrives BEFORE INSERT ON " + table +
                         " FOR EACH ROW EXECUTE FUNCTION surge_intake_arrives()");
    statements.push_back("ALTER TABLE " + table + " OWNER TO surge_owner");
    statements.push_back("REVOKE ALL ON " + table + " FROM PUBLIC");
    return statements;
}

// What retention detached: a row per partition and station (none for an empty partition), with
// the newest seq of the station's chain it held.
constexpr const char* CREATE_DETACHED =
    "CREATE TABLE IF NOT EXISTS record_detached (partition_name TEXT NOT NULL, month TEXT NOT "
    "NULL, station TEXT, records BIGINT NOT NULL, through_seq BIGINT, detached_at TIMESTAMPTZ "
    "NOT NULL, detached_by TEXT NOT NULL)";

}  // namespace

std::vector<std::string> PartitionRecords(const std::string& schema) {
    const std::string columns = Names("", true);
    return {
        std::string("DROP VIEW IF EXISTS ") + records::SERVER_FEATURES_VIEW,
        std::string("ALTER TABLE inspection RENAME TO ") + UNPARTITIONED,
        "CREATE TABLE inspection (" + ColumnDefinitions(true) + ") PARTITION BY RANGE (started_at)",
        "CREATE TABLE inspection_default PARTITION OF inspection DEFAULT",
        KeepPartitions(schema + ", pg_temp"),
        std::string("SELECT surge_keep_partitions(ARRAY(SELECT DISTINCT substr(started_at, 1, 7) "
                    "FROM ") +
            UNPARTITIONED + "), 0)",
        "INSERT INTO inspection (id, " + columns + ") OVERRIDING SYSTEM VALUE SELECT id, " +
            columns + " FROM " + UNPARTITIONED,
        std::string("DO $$ DECLARE kept bigint; had bigint; BEGIN SELECT COUNT(*) INTO kept FROM "
                    "inspection; SELECT COUNT(*) INTO had FROM ") +
            UNPARTITIONED +
            "; IF kept <> had THEN RAISE EXCEPTION 'the partitions hold % records, the table "
            "had %: nothing changed', kept, had; END IF; END $$",
        "SELECT setval(pg_get_serial_sequence('inspection', 'id'), GREATEST(COALESCE(MAX(id), 0), "
        "1), MAX(id) IS NOT NULL) FROM inspection",
        std::string("DROP TABLE ") + UNPARTITIONED,
    };
}

std::vector<std::string> PartitionLayoutStatements(const std::string& schema) {
    const std::string path = schema + ", pg_temp";
    std::vector<std::string> statements = {
        "CREATE TABLE IF NOT EXISTS inspection_default PARTITION OF inspection DEFAULT",
        KeepPartitions(path),
        "SELECT surge_keep_partitions('{}', " + std::to_string(MONTHS_AHEAD) + ")",
    };
    for (const records::Index& index : records::READ_INDEXES) {
        statements.push_back(records::CreateIndex(index, records::SERVER_RECORD_TABLE));
    }
    const std::vector<std::string> more = {
        records::CREATE_SERVER_STATION_INDEX,
        records::CREATE_SERVER_PERIOD_INDEX,
        "CREATE INDEX IF NOT EXISTS inspection_station_uuid ON inspection (station, uuid)",
        "CREATE INDEX IF NOT EXISTS inspection_station_seq ON inspection (station, seq) WHERE seq "
        "IS NOT NULL",
        "CREATE INDEX IF NOT EXISTS inspection_id ON inspection (id)",
        "CREATE OR REPLACE TRIGGER inspection_arrives BEFORE INSERT ON inspection FOR EACH ROW "
        "EXECUTE FUNCTION surge_record_arrives()",
        AppendRecord(path),
        CREATE_DETACHED,
    };
    statements.insert(statements.end(), more.begin(), more.end());
    const std::vector<std::string> features = records::ServerFeaturesSchema();
    statements.insert(statements.end(), features.begin(), features.end());
    const std::vector<std::string> intake = Intake(path);
    statements.insert(statements.end(), intake.begin(), intake.end());
    for (const char* table :
         {"inspection", "inspection_default", "record_detached", records::SERVER_FEATURES_VIEW}) {
        statements.push_back(std::string("ALTER TABLE ") + table + " OWNER TO surge_owner");
        statements.push_back(std::string("REVOKE ALL ON ") + table + " FROM PUBLIC");
    }
    for (const std::string& function :
         {std::string("surge_keep_partitions(text[], integer)"),
          std::string("surge_intake_arrives()"), std::string(records::RECORD_APPEND_FUNCTION)}) {
        statements.push_back("ALTER FUNCTION " + function + " OWNER TO surge_owner");
        statements.push_back("REVOKE ALL ON FUNCTION " + function + " FROM PUBLIC");
    }
    return statements;
}

std::vector<std::string> StationLoginStatements(const std::string& schema) {
    const std::string intake = records::SERVER_INTAKE_SCHEMA;
    return {
        "DO $$ DECLARE bound text; BEGIN FOR bound IN SELECT login FROM station_login LOOP "
        "EXECUTE format('GRANT SELECT, INSERT ON inspection TO %I', bound); "
        "EXECUTE format('GRANT SELECT ON " +
            std::string(records::SERVER_FEATURES_VIEW) +
            ", record_detached TO %I', bound); "
            "EXECUTE format('GRANT USAGE ON SCHEMA " +
            intake + " TO %I', bound); EXECUTE format('GRANT SELECT, INSERT ON " + intake +
            ".inspection TO %I', bound); EXECUTE format('GRANT EXECUTE ON FUNCTION " +
            records::RECORD_APPEND_FUNCTION +
            " TO %I', bound); EXECUTE format('ALTER ROLE %I IN DATABASE %I SET search_path = " +
            intake + ", " + schema + "', bound, current_database()); END LOOP; END $$",
    };
}

}  // namespace trail
