// The history database's tables, the same in the station's SQLite file and on a plant's server.
#pragma once

namespace history {

constexpr int SCHEMA_VERSION = 1;

// One row per inspection cycle that sent its setup command. Times are local ISO 8601 with the
// offset ("2026-12-09T10:15:02.123+09:00"); waves are 300 bytes, the signed samples as the master
// store keeps them. Readings the cycle did not reach are NULL. `stopped_at` is empty for a cycle
// with a verdict, else the command whose reply failed ("ME", "WT", "WS" or "RE"). A record is the
// same record wherever it is stored by its station and uuid.
constexpr const char* CREATE_INSPECTION = R"sql(
CREATE TABLE IF NOT EXISTS inspection (
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
  standard_wave BLOB,
  measured_wave BLOB,
  UNIQUE (station, uuid)
))sql";

// The indexes the reads walk, made with the tables: the time range with the outcome (today's
// counts, the panel's counts, pages and trend), a master's records by time, and a unit's records
// by its number.
constexpr const char* CREATE_INDEXES[] = {
    "CREATE INDEX IF NOT EXISTS inspection_started_outcome ON inspection (started_at, outcome)",
    "CREATE INDEX IF NOT EXISTS inspection_master_started ON inspection "
    "(master, started_at, outcome)",
    "CREATE INDEX IF NOT EXISTS inspection_serial ON inspection (serial)",
};

// The same table on a plant's server, in PostgreSQL's types.
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

// On a server, besides the indexes above: the panel's reads of one station among many.
constexpr const char* CREATE_SERVER_STATION_INDEX =
    "CREATE INDEX IF NOT EXISTS inspection_station_started ON inspection "
    "(station, started_at, outcome)";

// The statements that take a server's schema from version v to v + 1, the v-th first: empty
// while there is one version.
constexpr const char* const* SERVER_UPGRADES = nullptr;

// The station's records that the server has not acknowledged, by their row in `inspection`
// (local only; filled while a server is set).
constexpr const char* CREATE_OUTBOX =
    "CREATE TABLE IF NOT EXISTS outbox (record INTEGER PRIMARY KEY)";

constexpr const char* CREATE_SCHEMA_VERSION =
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)";

}  // namespace history
