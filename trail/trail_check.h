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

}  // namespace trail
