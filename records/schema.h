// The history database's tables, made from the column table: the station's SQLite file, and a
// plant's server.
#pragma once

#include <string>
#include <vector>

namespace records {

// The server's schema; the station's file has its own version (LOCAL_SCHEMA_VERSION). Version 2
// adds who tested a record and the version of its master, and the stations' audit trails;
// version 3 the software version that wrote each record and audit row; version 4 each test's
// attempt and whether it tested a reference unit. A station makes a server of version 4 and brings
// an older one up to it; later layouts only `surge-audit setup-server` makes (server_setup.h), and
// they keep `schema_version` at 4, so that a station of an earlier version goes on sending.
constexpr int SCHEMA_VERSION = 4;
// The server as a witness (setup-server): tables owned by a role no station holds, each station's
// login appending as its own station only, every arriving row checked and stamped; the audit row's
// code and the records' chain. Kept in the server's table `server_layout`.
constexpr int WITNESS_LAYOUT = 5;

// The station's file. Version 1 kept each record's standard wave in its row; version 2 keeps each
// distinct standard wave once, since the instrument sends the same one for every unit of a setup;
// version 3 queues every record for a server until one acknowledges it, and keeps aside the
// records a server refused; version 4 adds who tested a record and the version of its master, the
// users, the audit trail and the last settings read well; version 5 adds the software version that
// wrote each record and audit row; version 6 each test's attempt and whether it tested a reference
// unit, and a unit's records indexed by time; version 7 the records' chain, the audit row's code,
// the station's name, and the audit rows a server refused queued again in order.
constexpr int LOCAL_SCHEMA_VERSION = 7;

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

// The statements that take a server's schema from `from_version` to SCHEMA_VERSION.
std::vector<std::string> ServerUpgrade(int from_version);
// Those that make a server's tables (`from_version` 0) or bring them up to SCHEMA_VERSION, with
// `schema_version` (which must exist) set to it; in one transaction, under SERVER_SCHEMA_LOCK.
std::vector<std::string> ServerSchema(int from_version);
// The advisory lock that keeps two makers of a server's schema apart.
constexpr int SERVER_SCHEMA_LOCK = 20261209;

// The columns of an audit row in the order of access_control::AuditRow, as the station's file and
// a server name them.
constexpr const char* AUDIT_COLUMNS =
    "seq, at, station, user_name, role, action, object, before_value, after_value, reason, "
    "prev_hash, hash";
constexpr int AUDIT_COLUMN_COUNT = 12;
// Added by the station's file version 5 and the server's version 3 after AUDIT_COLUMNS: the
// software that wrote the row, empty in the rows written before.
constexpr const char* AUDIT_VERSION_COLUMN = "software_version";
// Added by the file's version 7 and the witness layout after it: the row's code.
constexpr const char* AUDIT_CODE_COLUMN = "code";
// AUDIT_COLUMNS, AUDIT_VERSION_COLUMN and AUDIT_CODE_COLUMN: what a row is written, read and sent
// with; to a server of `server_version` before the witness layout, without the code.
std::string AuditRowColumns(int server_version = WITNESS_LAYOUT);
constexpr int AUDIT_ROW_COLUMN_COUNT = AUDIT_COLUMN_COUNT + 2;

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
