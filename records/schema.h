// The history database's tables, made from the column table: the station's SQLite file, and a
// plant's server.
#pragma once

#include <string>
#include <vector>

#include "records/audit_columns.h"
#include "records/schema_versions.h"

namespace records {

// `inspection` reads as one row per inspection cycle that sent its setup command, in the station's
// file (a view) and on a server (a table) alike. Times are local ISO 8601 with the offset
// ("2026-12-09T10:15:02.123+09:00"); waves are 300 bytes, the signed samples as the master store
// keeps them. Readings the cycle did not reach are NULL. `stopped_at` is empty for a cycle with a
// verdict, else the command that failed: "ST" when it could not be written, else the one whose
// reply failed ("ME", "WT", "WS" or "RE"). A record is the same record wherever it is stored by
// its station and uuid.
//
// In the station's file a record is a row of `inspection_record`, whose `standard` is the row of
// its standard wave in `standard`; inserting into the view `inspection` fills both. The standard
// wave is a subquery rather than a join, so that reads which do not ask for it walk
// `inspection_record` and its indexes alone.

// The records as stored, the features the station computed later left out: what the forwarder
// sends and what a damaged file's records carry over, as their chain covers them.
constexpr const char* STORED_VIEW = "inspection_stored";

// The station's records that no server has acknowledged yet, by their id (local only). Every
// record is queued when it is written, with a server set or not, so that a server set later gets
// the station's earlier records too.
constexpr const char* CREATE_OUTBOX =
    "CREATE TABLE IF NOT EXISTS outbox (record INTEGER PRIMARY KEY)";

// The records a server refused (a value its database cannot hold, a constraint of its own), set
// aside with when and the server's message; sent again from time to time, until it takes them.
constexpr const char* CREATE_REFUSED =
    "CREATE TABLE IF NOT EXISTS refused (record INTEGER PRIMARY KEY, refused_at TEXT NOT NULL, "
    "message TEXT NOT NULL)";

// The master versions whose wave reference was learned, and from how many of their first
// production units that the tester passed (local only); the reference is learned anew from the
// same records when the station starts.
constexpr const char* CREATE_WAVE_REFERENCE =
    "CREATE TABLE IF NOT EXISTS wave_reference (master_version TEXT PRIMARY KEY, master TEXT NOT "
    "NULL, learned_at TEXT NOT NULL, units INTEGER NOT NULL, dropped INTEGER NOT NULL)";
// The wave's features of the records kept before the station judged waves, computed in the
// background (history/wave_backfill.h); NULL where the wave could not be fitted or had no standard.
// Outside the records' chain: a record's own columns, which the chain covers, stay as they were.
constexpr const char* CREATE_WAVE_FEATURES =
    "CREATE TABLE IF NOT EXISTS wave_features (record INTEGER PRIMARY KEY REFERENCES "
    "inspection_record (id), ringing_frequency REAL, damping REAL, standard_error_area REAL, "
    "hf_energy REAL)";
// Those rows no server has acknowledged yet, as `outbox` for the records, and those a server
// refused, as `refused`.
constexpr const char* CREATE_WAVE_OUTBOX =
    "CREATE TABLE IF NOT EXISTS wave_outbox (record INTEGER PRIMARY KEY)";
constexpr const char* CREATE_WAVE_REFUSED =
    "CREATE TABLE IF NOT EXISTS wave_refused (record INTEGER PRIMARY KEY, refused_at TEXT NOT "
    "NULL, message TEXT NOT NULL)";
// Its columns of the features, which are also the record's own.
constexpr const char* WAVE_FEATURE_COLUMNS[] = {"ringing_frequency", "damping",
                                                "standard_error_area", "hf_energy"};
// The records not yet looked at for their features are those with an id below `below`, newest
// first; set once to the newest record the file held when it was first opened with the table,
// since every later record carries the features the cycle gave it.
constexpr const char* CREATE_WAVE_BACKFILL =
    "CREATE TABLE IF NOT EXISTS wave_backfill (below INTEGER NOT NULL)";
constexpr const char* START_WAVE_BACKFILL =
    "INSERT INTO wave_backfill SELECT COALESCE(MAX(id), 0) + 1 FROM inspection_record WHERE NOT "
    "EXISTS (SELECT 1 FROM wave_backfill)";
// The records an engineer named for a master version's reference, which then takes the place of
// the one learned from its first units (local only; the reference is learned anew from them at a
// start, oldest first).
constexpr const char* CREATE_WAVE_REFERENCE_UNIT =
    "CREATE TABLE IF NOT EXISTS wave_reference_unit (master_version TEXT NOT NULL, record INTEGER "
    "NOT NULL, PRIMARY KEY (master_version, record))";
// A master version's passed production units by time, for learning its reference.
constexpr const char* CREATE_LEARNING_INDEX =
    "CREATE INDEX IF NOT EXISTS inspection_master_version ON inspection_record (master_version, "
    "outcome, reference, started_at)";

constexpr const char* CREATE_SCHEMA_VERSION =
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)";

// The indexes the reads walk: the time range with the outcome (today's counts, the panel's
// counts, pages and trend), a master's records by time (its counts, units and line stop), a
// unit's records by its number and time (its attempts, counted at the start of each cycle), and
// one outcome's records by time (the N.G Pareto, the panel's N.G filter, a period's units). The
// counts' indexes also hold what the counts and units read (whether a reference unit was tested,
// the attempt, the serial), so that they are counted from the index without reading the records.
// In the station's file they index `inspection_record`, on a server `inspection`; each is made on
// opening a file that lacks it, so no version of the file's layout is needed for a new one.
struct Index {
    const char* name;
    const char* columns;
};
constexpr Index READ_INDEXES[] = {
    {"inspection_started_counts", "started_at, outcome, reference, attempt"},
    {"inspection_master_counts", "master, started_at, outcome, reference, attempt, serial"},
    {"inspection_serial", "serial, started_at, outcome"},
    {"inspection_outcome_started", "outcome, started_at, reference, serial"},
};
// Indexes an earlier station made that those above replace: dropped on opening the station's file
// and on bringing a server of before version 4 up to date.
constexpr const char* RETIRED_INDEXES[] = {"inspection_started_outcome",
                                           "inspection_master_started"};
// Before version 6 of the station's file (4 of a server) the unit's index held its number alone;
// an upgrade makes it anew.
constexpr const char* SERIAL_INDEX = "inspection_serial";
constexpr const char* SERVER_RECORD_TABLE = "inspection";
// On a server of PARTITION_LAYOUT, where `inspection` is partitioned by month: the function a
// station appends a record through, and the schema of the intake that a station of an earlier
// version finds first in its login's path (trail/record_partitions.h), which a station of this
// version leaves out of its own.
constexpr const char* RECORD_APPEND_FUNCTION = "surge_append_record";
constexpr const char* SERVER_INTAKE_SCHEMA = "surge_intake";

std::string CreateIndex(const Index& index, const char* table);

// The statements that make the station's file, or bring one of `from_version` (0 for a file
// without the history's tables) to LOCAL_SCHEMA_VERSION, to be run in one transaction. On a file
// that is up to date they change nothing. A file of version 1, whose `inspection` is a table, is
// carried into `inspection_record` with every record keeping its id, so the outbox stays true.
std::vector<std::string> LocalSchema(int from_version);

// The same records on a plant's server, in PostgreSQL's types, one table holding both waves.
// There a record is unique by its station and uuid, as stations send again what they are not
// sure the server has.
std::string CreateServerInspection();

// On a server, besides the read indexes: the panel's reads of one station among many.
constexpr const char* CREATE_SERVER_STATION_INDEX =
    "CREATE INDEX IF NOT EXISTS inspection_station_started ON inspection "
    "(station, started_at, outcome)";
// On a server of PARTITION_LAYOUT: a period's records with all that the plant view counts and
// groups them by, so that a week's yield is read from the index alone, not from rows that carry
// both waves. setup-server makes it on a server that lacks it.
constexpr const char* CREATE_SERVER_PERIOD_INDEX =
    "CREATE INDEX IF NOT EXISTS inspection_period_groups ON inspection (started_at, outcome, "
    "reference) INCLUDE (attempt, station, master, master_version, operator, serial, id)";

// On a server of FEATURES_LAYOUT (setup-server makes them): the features the stations computed for
// their records kept before, a row each by station and uuid, and the view
// `inspection_with_features` that shows a record with them where its own columns are NULL.
std::vector<std::string> ServerFeaturesSchema();
constexpr const char* SERVER_FEATURES_VIEW = "inspection_with_features";

// The statements that take a server's schema from `from_version` to SCHEMA_VERSION.
std::vector<std::string> ServerUpgrade(int from_version);
// Those that make a server's tables (`from_version` 0) or bring them up to SCHEMA_VERSION, with
// `schema_version` (which must exist) set to it; in one transaction, under SERVER_SCHEMA_LOCK.
std::vector<std::string> ServerSchema(int from_version);
// The advisory lock that keeps two makers of a server's schema apart.
constexpr int SERVER_SCHEMA_LOCK = 20261209;

// The station's users, its audit trail with its queue for the server and the rows a server
// refused, and the settings last read well from "station.ini" (trail_schema.cpp): part of
// LocalSchema.
std::vector<std::string> TrailSchema();
// What brings the trail's tables of a station's file of `from_version` to LOCAL_SCHEMA_VERSION.
std::vector<std::string> TrailUpgrade(int from_version);
// The stations' audit trails on a plant's server, and the newest row the server has of each
// station's chain, so that rows taken off a station's end are found too.
std::vector<std::string> ServerTrailSchema();
// What brings a server's audit table of `from_version` to SCHEMA_VERSION.
std::vector<std::string> ServerTrailUpgrade(int from_version);

}  // namespace records
