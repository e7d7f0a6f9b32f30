// The records' retention on a server partitioned by month (PARTITION_LAYOUT): `surge-audit retain
// --server MONTHS`, run by the plant's DBA, keeps the current month and the MONTHS - 1 before it
// and detaches the partitions of older months. A detached partition stays a table of its own, its
// records whole, for the DBA to archive or drop; what was detached, and each station's newest seq
// there, is kept in `record_detached`, so that `verify --server` checks a station's chain from that
// boundary on.
#pragma once

#include "trail/server_setup.h"

namespace trail {

SetupOutcome RetainServer(int months);

}  // namespace trail
