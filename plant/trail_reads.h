// 변경 기록's reads of the plant's server: the stations that sent audit rows, a page of one
// station's rows newest first, and the plant users' own trail, each chain with whether it holds.
#pragma once

#include <QSqlDatabase>
#include <optional>
#include <string>
#include <vector>

#include "trail/audit_row.h"
#include "trail/trail_check.h"

namespace plant {

// The rows a page of the trail shows.
constexpr int TRAIL_PAGE_ROWS = 200;

// A period of local time, `from` included and `to` excluded ("YYYY-MM-DD" or "YYYY-MM-DDTHH:MM");
// either empty for no bound.
struct Period {
    std::string from;
    std::string to;
};
// Whether a bound reads as one of those two forms, or is empty.
bool ValidBound(const std::string& bound);

struct TrailPage {
    std::vector<trail::AuditRow> rows;  // newest first
    long long total = 0;                // the rows of the period
};

// The stations whose audit rows the server holds, by name.
std::optional<std::vector<std::string>> ReadTrailStations(QSqlDatabase& db);
// The rows of `station` in `period` (the rows' own times, as the station wrote them), newest
// first, `limit` of them from `offset`; nothing when the server cannot be read.
std::optional<TrailPage> ReadTrailPage(QSqlDatabase& db, const std::string& station,
                                       const Period& period, long long offset, long long limit);

// The plant users' trail: its newest rows (at most `limit`; their times are the server's, in UTC),
// and whether its whole chain holds.
struct PlantTrail {
    TrailPage page;
    trail::TrailCheck check;
};
std::optional<PlantTrail> ReadPlantTrail(QSqlDatabase& db, long long limit);

}  // namespace plant
