// The versions of the layouts of the history's tables: a plant's server's and the station's file's.
#pragma once

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
// The station's own judgement of each wave: the record's features and wave alarm.
constexpr int WAVE_LAYOUT = 6;
// The wave's features computed for the records kept before the station judged waves, as rows of
// their own (`wave_features`), and the view `inspection_with_features`.
constexpr int FEATURES_LAYOUT = 7;
// The plant view's users, their sessions and trail, and the service's role (trail/plant_layout.h).
constexpr int PLANT_LAYOUT = 8;
// The records partitioned by month, appended through a function; the intake of the stations of
// an earlier version; the partitions retention detached (trail/record_partitions.h).
constexpr int PARTITION_LAYOUT = 9;
// The layout setup-server makes now.
constexpr int SERVER_LAYOUT = PARTITION_LAYOUT;

// The station's file. Version 1 kept each record's standard wave in its row; version 2 keeps each
// distinct standard wave once, since the instrument sends the same one for every unit of a setup;
// version 3 queues every record for a server until one acknowledges it, and keeps aside the
// records a server refused; version 4 adds who tested a record and the version of its master, the
// users, the audit trail and the last settings read well; version 5 adds the software version that
// wrote each record and audit row; version 6 each test's attempt and whether it tested a reference
// unit, and a unit's records indexed by time; version 7 the records' chain, the audit row's code,
// the station's name, and the audit rows a server refused queued again in order; version 8 the
// station's own judgement of each wave; version 9 the features computed for the records kept
// before it, which the view `inspection` shows in their columns (a view made anew).
constexpr int LOCAL_SCHEMA_VERSION = 9;

}  // namespace records
