// The history database's tables: the station's SQLite file, and a plant's server.
#pragma once

#include <string>
#include <vector>

namespace history {

// The server's schema; the station's file has its own version (LOCAL_SCHEMA_VERSION).
constexpr int SCHEMA_VERSION = 1;

// The station's file. Version 1 kept each record's standard wave in its row; version 2 keeps each
// distinct standard wave once, since the instrument sends the same one for every unit of a setup.
constexpr int LOCAL_SCHEMA_VERSION = 2;

// `inspection` reads as one row per inspection cycle that sent its setup command, in the station's
// file (a view) and on a server (a table) alike. Times are local ISO 8601 with the offset
// ("2026-12-09T10:15:02.123+09:00"); waves are 300 bytes, the signed samples as the master store
// keeps them. Readings the cycle did not reach are NULL. `stopped_at` is empty for a cycle with a
// verdict, else the command whose reply failed ("ME", "WT", "WS" or "RE"). A record is the same
// record wherever it is stored by its station and uuid.
//
// In the station's file a record is a row of `inspection_record`, whose `standard` is the row of
// its standard wave in `standard`; inserting into the view `inspection` fills both.
constexpr const char* CREATE_STANDARD = R"sql(
CREATE TABLE IF NOT EXISTS standard (
  id   INTEGER PRIMARY KEY,
  wave BLOB NOT NULL UNIQUE
))sql";

constexpr const char* CREATE_RECORD = R"sql(
CREATE TABLE IF NOT EXISTS inspection_record (
  id            INTEGER PRIMARY KEY,
  uuid          TEXT NOT NULL,
  station       TEXT NOT NULL,
  started_at    TEXT NOT NULL,
  ended_at      TEXT NOT NULL,
  serial        TEXT NOT NULL,
  master        TEXT NOT NULL,
  model_no      TEXT NOT NULL,
  voltage       REAL,
  width         INTEGER,
  pulse_no      INTEGER,
  judge         INTEGER,
  area          INTEGER,
  phase         INTEGER,
  outcome       TEXT NOT NULL,
  stopped_at    TEXT NOT NULL,
  standard      INTEGER REFERENCES standard (id),
  measured_wave BLOB
))sql";

// The standard wave is a subquery rather than a join, so that reads which do not ask for it walk
// `inspection_record` and its indexes alone.
constexpr const char* CREATE_VIEW = R"sql(
CREATE VIEW IF NOT EXISTS inspection AS SELECT
  id, uuid, station, started_at, ended_at, serial, master, model_no, voltage, width, pulse_no,
  judge, area, phase, outcome, stopped_at,
  (SELECT wave FROM standard WHERE standard.id = inspection_record.standard) AS standard_wave,
  measured_wave
FROM inspection_record)sql";

constexpr const char* CREATE_INSERT_TRIGGER = R"sql(
CREATE TRIGGER IF NOT EXISTS inspection_insert INSTEAD OF INSERT ON inspection BEGIN
  INSERT OR IGNORE INTO standard (wave)
    SELECT NEW.standard_wave WHERE NEW.standard_wave IS NOT NULL;
  INSERT INTO inspection_record (id, uuid, station, started_at, ended_at, serial, master,
    model_no, voltage, width, pulse_no, judge, area, phase, outcome, stopped_at, standard,
    measured_wave)
  VALUES (NEW.id, NEW.uuid, NEW.station, NEW.started_at, NEW.ended_at, NEW.serial, NEW.master,
    NEW.model_no, NEW.voltage, NEW.width, NEW.pulse_no, NEW.judge, NEW.area, NEW.phase,
    NEW.outcome, NEW.stopped_at, (SELECT id FROM standard WHERE wave = NEW.standard_wave),
    NEW.measured_wave);
END)sql";

// The station's records that the server has not acknowledged, by their id (local only; filled
// while a server is set).
constexpr const char* CREATE_OUTBOX =
    "CREATE TABLE IF NOT EXISTS outbox (record INTEGER PRIMARY KEY)";

constexpr const char* CREATE_SCHEMA_VERSION =
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)";

// A file of version 1, whose `inspection` is a table, is brought to version 2 in one transaction:
// every record keeps its id, so the outbox stays true.
constexpr const char* LOCAL_UPGRADE_FROM_1[] = {
    "INSERT OR IGNORE INTO standard (wave) "
    "SELECT standard_wave FROM inspection WHERE standard_wave IS NOT NULL",
    "INSERT INTO inspection_record (id, uuid, station, started_at, ended_at, serial, master, "
    "model_no, voltage, width, pulse_no, judge, area, phase, outcome, stopped_at, standard, "
    "measured_wave) SELECT id, uuid, station, started_at, ended_at, serial, master, model_no, "
    "voltage, width, pulse_no, judge, area, phase, outcome, stopped_at, "
    "(SELECT standard.id FROM standard WHERE standard.wave = inspection.standard_wave), "
    "measured_wave FROM inspection",
    "DROP TABLE inspection",
};

// The indexes the reads walk: the time range with the outcome (today's counts, the panel's
// counts, pages and trend), a master's records by time, and a unit's records by its number.
// In the station's file they index `inspection_record`, on a server `inspection`.
struct Index {
    const char* name;
    const char* columns;
};
constexpr Index READ_INDEXES[] = {
    {"inspection_started_outcome", "started_at, outcome"},
    {"inspection_master_started", "master, started_at, outcome"},
    {"inspection_serial", "serial"},
};
constexpr const char* SERVER_RECORD_TABLE = "inspection";

std::string CreateIndex(const Index& index, const char* table);

// The statements that make the station's file, or bring one of version 1 to LOCAL_SCHEMA_VERSION,
// to be run in one transaction. On a file that is up to date they change nothing.
std::vector<std::string> LocalSchema(bool from_version_1);

// The same records on a plant's server, in PostgreSQL's types, one table holding both waves.
// There a record is unique by its station and uuid, as stations send again what they are not
// sure the server has.
constexpr const char* CREATE_SERVER_INSPECTION = R"sql(
CREATE TABLE IF NOT EXISTS inspection (
  id            BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  uuid          TEXT NOT NULL,
  station       TEXT NOT NULL,
  started_at    TEXT COLLATE "C" NOT NULL,
  ended_at      TEXT COLLATE "C" NOT NULL,
  serial        TEXT NOT NULL,
  master        TEXT NOT NULL,
  model_no      TEXT NOT NULL,
  voltage       DOUBLE PRECISION,
  width         INTEGER,
  pulse_no      INTEGER,
  judge         INTEGER,
  area          INTEGER,
  phase         INTEGER,
  outcome       TEXT NOT NULL,
  stopped_at    TEXT NOT NULL,
  standard_wave BYTEA,
  measured_wave BYTEA,
  UNIQUE (station, uuid)
))sql";

// On a server, besides the read indexes: the panel's reads of one station among many.
constexpr const char* CREATE_SERVER_STATION_INDEX =
    "CREATE INDEX IF NOT EXISTS inspection_station_started ON inspection "
    "(station, started_at, outcome)";

// The statements that take a server's schema from version v to v + 1, the v-th first: empty
// while there is one version.
constexpr const char* const* SERVER_UPGRADES = nullptr;

}  // namespace history
