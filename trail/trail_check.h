// Checking the audit trail as it stands: the station's file alone, or with this station's rows on
// the plant's server (SURGE_HISTORY_DB and its password, the station's name, as the station takes
// them). surge-audit's checks; the station may call them too.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "trail/audit_row.h"

namespace trail {

enum class TrailVerdict { HOLDS, BROKEN, UNREADABLE };

struct TrailCheck {
    TrailVerdict verdict = TrailVerdict::UNREADABLE;
    // What holds (the rows and the head), the first thing that does not and why, or what cannot
    // be read: the file or the server.
    std::string text;
    // The seq of the first row that does not hold, where a row is to blame; 0 otherwise.
    long long broken_seq = 0;
};

TrailCheck CheckTrail(const std::string& path);
TrailCheck CheckTrailWithServer(const std::string& path);

// The trail of the file `path`, oldest first; false, and why in `error`, when it cannot be read.
bool ReadTrail(const std::string& path, std::vector<AuditRow>* rows, std::string* error);

// A station's chain as a plant's server holds it: its rows oldest first, when the server received
// each (milliseconds since the epoch, -1 where it does not know), and its head.
struct ServerTrail {
    std::vector<AuditRow> rows;
    std::vector<long long> received_ms;
    std::optional<ChainHead> head;
};

// Reads `station`'s chain on `connection` (an open PostgreSQL connection's name); false, and the
// server's reason in `error`, when it cannot be read.
bool ReadServerTrail(const std::string& connection, const std::string& station, ServerTrail* trail,
                     std::string* error);

// The server's copy of `station`'s chain checked on its own, as read on `connection`: the server
// a witness, the chain from its first row to its head with no gap, and each row's time and user
// against the server's stamps; the checks of CheckTrailWithServer that need no file.
TrailCheck CheckServerCopy(const std::string& connection, const std::string& station);

}  // namespace trail
