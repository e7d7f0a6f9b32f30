// 수율's reads of the plant's server: the counts of a period by station, master, shift or day,
// and its N.G Pareto, each through the history's own reads (history/history_query.h,
// history/process_query.h), so that a figure is the one the station's report gives.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <optional>
#include <string>
#include <vector>

#include "history/basics.h"
#include "history/process_query.h"
#include "history/production.h"
#include "plant/plant_settings.h"

namespace plant {

enum class YieldBy { STATION, MASTER, SHIFT, DAY };

// "station", "master", "shift" or "day"; nothing for any other.
std::optional<YieldBy> YieldByName(const std::string& name);

struct YieldRow {
    std::string group;  // the station, master, shift ("2026-12-11 06:00–14:00") or day
    history::Counts counts;
    history::UnitCounts units;
};

struct Yield {
    std::vector<YieldRow> rows;  // the groups holding production tests, in order
    YieldRow total;              // the whole period, group ""
    history::Period shift_now;   // the shift of the moment asked, by the stations' shifts
    history::Pareto pareto;      // the period's N.G Pareto as the station's report draws it
};

// The period's rows grouped `by`, its whole and its Pareto; nothing when the server cannot be
// read. A shift is the one of the stations' audited `[reference] shifts` (the defaults without
// one); where stations keep different shifts, each row is one station's shift, the station named
// before it. The longest read, the groups' units, is made on `db`; the others at the same time
// on threads aside (plant/read_aside.h), each on its own connection.
std::optional<Yield> ReadYield(const Settings& settings, QSqlDatabase& db,
                               const history::Period& period, YieldBy by, const QDateTime& now);

}  // namespace plant
