// What the shift report reads beside the counts and charts: the gates' audit rows of the period
// (line stops, their acknowledgements, overrides) and its reference units' tests.
#pragma once

#include <string>
#include <vector>

#include "history/history_query.h"

namespace history {

struct GateEvent {
    std::string at;  // ISO 8601 local time
    std::string station;
    std::string user;
    enum class Kind { LINE_STOPPED, ACKNOWLEDGED, OVERRIDDEN } kind = Kind::LINE_STOPPED;
    std::string object;  // the master, "retest SERIAL", "reference MASTER"
    std::string rule;    // the stop's rule, or what the override let go
    std::string reason;  // the engineer's reason or note
};
// False for a history of an older station's layout, whose records hold neither their unit's
// attempt nor whether a reference unit was tested: the counts of units cannot be read from it.
bool HoldsUnitColumns(const Reader& reader);

// Oldest first, of the filter's period and station; none from a history without an audit trail.
bool ReadGateEvents(const Reader& reader, const Filter& filter, std::vector<GateEvent>* events);

struct ReferenceRecord {
    std::string at;
    std::string master;
    std::string serial;
    std::string outcome;  // "O.K", "N.G"
};
// The reference units' tests of the filter, oldest first.
bool ReadReferenceChecks(const Reader& reader, const Filter& filter,
                         std::vector<ReferenceRecord>* tests);

}  // namespace history
