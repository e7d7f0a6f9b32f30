// The records on a server by month (PARTITION_LAYOUT, made by setup-server): `inspection`
// partitioned by the month of `started_at`, a partition a month ("inspection_2026_12") and a
// default one for a month that has none yet; the function a station of this version appends
// through; and the intake that keeps a station of an earlier version sending its
// `INSERT ... ON CONFLICT (station, uuid)`, which no partitioned table can take.
#pragma once

#include <string>
#include <vector>

namespace trail {

// The months setup-server keeps partitions for after the current one.
constexpr int MONTHS_AHEAD = 3;

// Whether `inspection` is still the plain table of an earlier layout.
constexpr const char* RECORDS_UNPARTITIONED =
    "SELECT relkind = 'r' FROM pg_class WHERE oid = to_regclass('inspection')";

// The statements that take the plain `inspection` into the partitioned one, every record kept
// with its id: a partition for each month its records hold, the records copied, the counts
// checked before the plain table goes. Run in setup-server's one transaction, after the witness
// statements; `schema` is the layout's (quoted).
std::vector<std::string> PartitionRecords(const std::string& schema);

// What every setup-server run makes again: the partitions of this month, the MONTHS_AHEAD after
// it and the months the default partition holds rows of (those rows moved into them), the
// indexes, the arrival and intake triggers, the append function, the retention's record.
std::vector<std::string> PartitionLayoutStatements(const std::string& schema);

// Each station's login (every one bound in `station_login`): reads the records, appends through
// the function or the intake, and finds the intake first in its path on this database.
std::vector<std::string> StationLoginStatements(const std::string& schema);

}  // namespace trail
