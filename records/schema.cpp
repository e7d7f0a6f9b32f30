#include "records/schema.h"

#include <algorithm>
#include <cstring>

#include "records/columns.h"
#include "values/inspection.h"
#include "values/outcome.h"

namespace records {

namespace {

constexpr const char* CREATE_STANDARD = R"sql(
CREATE TABLE IF NOT EXISTS standard (
  id   INTEGER PRIMARY KEY,
  wave BLOB NOT NULL UNIQUE
))sql";

constexpr const char* STANDARD_WAVE_OF_RECORD =
    "(SELECT wave FROM standard WHERE standard.id = inspection_record.standard)";
constexpr const char* STANDARD_OF_NEW = "(SELECT id FROM standard WHERE wave = NEW.standard_wave)";

// Where a file begun anew after a damaged one goes on with the damaged file's chain.
constexpr const char* CREATE_RECORD_CHAIN_START =
    "CREATE TABLE IF NOT EXISTS record_chain_start (seq INTEGER NOT NULL, hash TEXT NOT NULL)";
// The chain's newest record, read at each commit; no seq twice.
constexpr const char* CREATE_RECORD_CHAIN_INDEX =
    "CREATE UNIQUE INDEX IF NOT EXISTS inspection_chain ON inspection_record (seq)";

bool Shared(const Column& column) {
    return std::strcmp(column.name, SHARED_WAVE) == 0;
}

// The column's name in `inspection_record`.
std::string LocalName(const Column& column) {
    return Shared(column) ? SHARED_WAVE_REFERENCE : column.name;
}

// Joins what `part` makes of each column of the station's file of version `up_to` or before.
template <typename Part>
std::string Each(int up_to, const char* separator, Part part) {
    std::string joined;
    for (const Column& column : InspectionColumns()) {
        if (column.local_since > up_to) {
            continue;
        }
        joined += (joined.empty() ? "" : separator) + part(column);
    }
    return joined;
}

std::string CreateRecord() {
    return "CREATE TABLE IF NOT EXISTS inspection_record (\n  " +
           Each(LOCAL_SCHEMA_VERSION, ",\n  ",
                [](const Column& c) { return LocalName(c) + " " + c.local_type; }) +
           "\n)";
}

bool Backfilled(const Column& column) {
    return std::any_of(std::begin(WAVE_FEATURE_COLUMNS), std::end(WAVE_FEATURE_COLUMNS),
                       [&column](const char* name) { return std::strcmp(name, column.name) == 0; });
}

// A view's column: the record's own; its standard wave from `standard`; a feature the record lacks
// from `wave_features`, looked up only where the record's own is NULL.
std::string ViewColumn(const Column& c) {
    const std::string name = c.name;
    if (Shared(c)) {
        return std::string(STANDARD_WAVE_OF_RECORD) + " AS " + name;
    }
    if (Backfilled(c)) {
        return "COALESCE(" + name + ", (SELECT " + name +
               " FROM wave_features WHERE record = inspection_record.id)) AS " + name;
    }
    return name;
}

std::string CreateView() {
    return "CREATE VIEW IF NOT EXISTS inspection AS SELECT\n  " +
           Each(LOCAL_SCHEMA_VERSION, ", ", ViewColumn) + "\nFROM inspection_record";
}

std::string CreateStoredView() {
    return std::string("CREATE VIEW IF NOT EXISTS ") + STORED_VIEW + " AS SELECT\n  " +
           Each(LOCAL_SCHEMA_VERSION, ", ",
                [](const Column& c) {
                    return Shared(c) ? std::string(STANDARD_WAVE_OF_RECORD) + " AS " + c.name
                                     : std::string(c.name);
                }) +
           "\nFROM inspection_record";
}

// What an insert through the view gives a column it does not name: its default, where it has one.
std::string NewValue(const Column& c) {
    const std::string type = c.local_type;
    const std::size_t at = type.find("DEFAULT ");
    const std::string value = "NEW." + std::string(c.name);
    return at == std::string::npos ? value : "COALESCE(" + value + ", " + type.substr(at + 8) + ")";
}

std::string CreateInsertTrigger() {
    return "CREATE TRIGGER IF NOT EXISTS inspection_insert INSTEAD OF INSERT ON inspection BEGIN\n"
           "  INSERT OR IGNORE INTO standard (wave)\n"
           "    SELECT NEW.standard_wave WHERE NEW.standard_wave IS NOT NULL;\n"
           "  INSERT INTO inspection_record (" +
           Each(LOCAL_SCHEMA_VERSION, ", ", LocalName) + ")\n  VALUES (" +
           Each(LOCAL_SCHEMA_VERSION, ", ",
                [](const Column& c) {
                    return Shared(c) ? std::string(STANDARD_OF_NEW) : NewValue(c);
                }) +
           ");\nEND";
}

// Version 1's table `inspection` into `inspection_record`, every record with its id.
std::vector<std::string> UpgradeFromFirstLayout() {
    return {
        "INSERT OR IGNORE INTO standard (wave) "
        "SELECT standard_wave FROM inspection WHERE standard_wave IS NOT NULL",
        "INSERT INTO inspection_record (" + Each(1, ", ", LocalName) + ") SELECT " +
            Each(1, ", ",
                 [](const Column& c) {
                     return Shared(c) ? std::string(
                                            "(SELECT standard.id FROM standard WHERE "
                                            "standard.wave = inspection.standard_wave)")
                                      : std::string(c.name);
                 }) +
            " FROM inspection",
        "DROP TABLE inspection",
    };
}

// The columns a later version added, and the view and trigger made anew over them.
std::vector<std::string> AddColumnsSince(int from_version) {
    std::vector<std::string> statements;
    for (const Column& column : InspectionColumns()) {
        if (column.local_since > from_version) {
            statements.push_back("ALTER TABLE inspection_record ADD COLUMN " + LocalName(column) +
                                 " " + column.local_type);
        }
    }
    statements.push_back("DROP TRIGGER IF EXISTS inspection_insert");
    statements.push_back("DROP VIEW IF EXISTS inspection");
    statements.push_back(std::string("DROP VIEW IF EXISTS ") + STORED_VIEW);
    return statements;
}

// The records of a file before version 6 get their attempts as the station counts them now, over
// the default window, and the unit's index is made anew on its number and time.
std::vector<std::string> CountAttempts() {
    const std::string tests = std::string(" IN ('") + Outcome_text(Outcome::OK) + "', '" +
                              Outcome_text(Outcome::NG) + "')";
    return {
        std::string("DROP INDEX IF EXISTS ") + SERIAL_INDEX,
        "CREATE INDEX inspection_serial_upgrade ON inspection_record (serial, started_at)",
        "UPDATE inspection_record SET attempt = CASE WHEN outcome NOT" + tests +
            " THEN 0 WHEN serial = '' THEN 1 ELSE 1 + (SELECT COUNT(*) FROM inspection_record AS"
            " earlier WHERE earlier.serial = inspection_record.serial AND earlier.started_at <"
            " inspection_record.started_at AND earlier.outcome" +
            tests +
            " AND julianday(earlier.started_at) >= julianday(inspection_record.started_at) - " +
            std::to_string(DEFAULT_ATTEMPT_WINDOW_DAYS) + ") END",
        "DROP INDEX inspection_serial_upgrade",
    };
}

}  // namespace

std::string CreateIndex(const Index& index, const char* table) {
    return std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " + table + " (" +
           index.columns + ")";
}

std::vector<std::string> LocalSchema(int from_version) {
    std::vector<std::string> statements = {CREATE_STANDARD, CreateRecord(), CREATE_OUTBOX,
                                           CREATE_REFUSED, CREATE_SCHEMA_VERSION};
    const std::vector<std::string> trail = TrailSchema();
    statements.insert(statements.end(), trail.begin(), trail.end());
    std::vector<std::string> upgrade;
    if (from_version == 1) {
        upgrade = UpgradeFromFirstLayout();
    } else if (from_version > 1 && from_version < LOCAL_SCHEMA_VERSION) {
        upgrade = AddColumnsSince(from_version);
    }
    statements.insert(statements.end(), upgrade.begin(), upgrade.end());
    const std::vector<std::string> trail_upgrade = TrailUpgrade(from_version);
    statements.insert(statements.end(), trail_upgrade.begin(), trail_upgrade.end());
    // Before version 3 only records written while a server was set were queued: every record is
    // queued now, and the forwarder skips those the server has already.
    if (from_version > 0 && from_version < 3) {
        statements.push_back("INSERT OR IGNORE INTO outbox SELECT id FROM inspection_record");
    }
    if (from_version > 0 && from_version < 6) {
        const std::vector<std::string> attempts = CountAttempts();
        statements.insert(statements.end(), attempts.begin(), attempts.end());
    }
    statements.push_back(CREATE_RECORD_CHAIN_START);
    statements.push_back(CREATE_RECORD_CHAIN_INDEX);
    statements.push_back(CREATE_WAVE_REFERENCE);
    statements.push_back(CREATE_WAVE_FEATURES);
    statements.push_back(CREATE_WAVE_OUTBOX);
    statements.push_back(CREATE_WAVE_REFUSED);
    statements.push_back(CREATE_WAVE_BACKFILL);
    statements.push_back(START_WAVE_BACKFILL);
    statements.push_back(CREATE_WAVE_REFERENCE_UNIT);
    statements.push_back(CREATE_LEARNING_INDEX);
    statements.push_back(CreateView());
    statements.push_back(CreateStoredView());
    statements.push_back(CreateInsertTrigger());
    for (const char* retired : RETIRED_INDEXES) {
        statements.push_back(std::string("DROP INDEX IF EXISTS ") + retired);
    }
    for (const Index& index : READ_INDEXES) {
        statements.push_back(CreateIndex(index, "inspection_record"));
    }
    const std::string version = std::to_string(LOCAL_SCHEMA_VERSION);
    statements.push_back("UPDATE schema_version SET version = " + version + " WHERE version < " +
                         version);
    statements.push_back("INSERT INTO schema_version SELECT " + version +
                         " WHERE NOT EXISTS (SELECT 1 FROM schema_version)");
    return statements;
}

std::string CreateServerInspection() {
    std::string columns;
    for (const Column& column : InspectionColumns()) {
        if (column.server_since <= SCHEMA_VERSION) {
            columns += std::string("  ") + column.name + " " + column.server_type + ",\n";
        }
    }
    return "CREATE TABLE IF NOT EXISTS inspection (\n" + columns + "  UNIQUE (station, uuid)\n)";
}

std::vector<std::string> ServerFeaturesSchema() {
    std::string features;
    std::string columns;
    for (const Column& column : InspectionColumns()) {
        const std::string name = column.name;
        if (Backfilled(column)) {
            features += ", " + name + " " + column.server_type;
            columns += "COALESCE(i." + name + ", f." + name + ") AS " + name + ", ";
        } else if (column.server_since <= SERVER_LAYOUT) {
            columns += "i." + name + ", ";
        }
    }
    return {
        "CREATE TABLE IF NOT EXISTS wave_features (station TEXT NOT NULL, uuid TEXT NOT NULL" +
            features + ", received_at TIMESTAMPTZ, UNIQUE (station, uuid))",
        std::string("CREATE OR REPLACE VIEW ") + SERVER_FEATURES_VIEW + " AS SELECT " + columns +
            "i.received_at FROM inspection i LEFT JOIN wave_features f ON f.station = i.station "
            "AND f.uuid = i.uuid",
    };
}

std::vector<std::string> ServerUpgrade(int from_version) {
    std::vector<std::string> statements = ServerTrailSchema();
    const std::vector<std::string> trail_upgrade = ServerTrailUpgrade(from_version);
    statements.insert(statements.end(), trail_upgrade.begin(), trail_upgrade.end());
    for (const Column& column : InspectionColumns()) {
        if (column.server_since > from_version && column.server_since <= SCHEMA_VERSION) {
            statements.push_back(std::string("ALTER TABLE inspection ADD COLUMN IF NOT EXISTS ") +
                                 column.name + " " + column.server_type);
        }
    }
    if (from_version < 4) {
        statements.push_back(std::string("DROP INDEX IF EXISTS ") + SERIAL_INDEX);
        for (const char* retired : RETIRED_INDEXES) {
            statements.push_back(std::string("DROP INDEX IF EXISTS ") + retired);
        }
        for (const Index& index : READ_INDEXES) {
            statements.push_back(CreateIndex(index, SERVER_RECORD_TABLE));
        }
    }
    return statements;
}

}  // namespace records

namespace records {

std::vector<std::string> ServerSchema(int from_version) {
    const std::string version = std::to_string(SCHEMA_VERSION);
    if (from_version > 0) {
        std::vector<std::string> statements = ServerUpgrade(from_version);
        statements.push_back("UPDATE schema_version SET version = " + version);
        return statements;
    }
    std::vector<std::string> statements = {CreateServerInspection()};
    const std::vector<std::string> trail = ServerTrailSchema();
    statements.insert(statements.end(), trail.begin(), trail.end());
    for (const Index& index : READ_INDEXES) {
        statements.push_back(CreateIndex(index, SERVER_RECORD_TABLE));
    }
    statements.push_back(CREATE_SERVER_STATION_INDEX);
    statements.push_back("INSERT INTO schema_version VALUES (" + version + ")");
    return statements;
}

}  // namespace records
