// A period's counts split into groups in two reads, one of the records and one of the units,
// where a read per group would walk the period's index once for each.
#pragma once

#include <string>
#include <vector>

#include "history/basics.h"

namespace history {

struct Filter;
struct Reader;

// How the records are split: by station, by master, by day ("YYYY-MM-DD"), or into the slots
// between `bounds` (local times "YYYY-MM-DDTHH:MM:SS" in order: slot 0 before the first, slot i
// from bounds[i - 1]), each station's slots apart when `per_station`.
struct Grouping {
    enum class Key { STATION, MASTER, DAY, SLOT };
    Key key = Key::STATION;
    std::vector<std::string> bounds;
    bool per_station = false;
};

// One group's figures as CountRecords and CountUnits give a filter's.
struct GroupCounts {
    std::string station;  // empty unless per station
    std::string key;      // the station, the master, the day, or the slot's number
    Counts counts;
    UnitCounts units;
};

// The groups of the filter's records holding any record, ordered by station and key, with their
// counts, and the stations that tested among them, in order. Every record is in one group.
// False when the filter is no period or the reader cannot read.
bool CountGroupRecords(const Reader& reader, const Filter& filter, const Grouping& grouping,
                       std::vector<GroupCounts>* groups, std::vector<std::string>* stations);
// The groups holding production tests, ordered by station and key, with their units; a unit is
// counted within its group. The longer of the two reads: a caller may make both at once.
bool CountGroupUnits(const Reader& reader, const Filter& filter, const Grouping& grouping,
                     std::vector<GroupCounts>* groups);

}  // namespace history
