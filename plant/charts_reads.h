// 관리도's reads of the plant's server: a master's I-MR chart over a period's records, computed by
// the station's own code (process::ReadChart) on the calling thread's connection, and what the
// page offers to choose from.
#pragma once

#include <QSqlDatabase>
#include <optional>
#include <string>
#include <vector>

#include "history/history_query.h"
#include "history/process_query.h"
#include "process/control_chart.h"

namespace plant {

struct ChartRead {
    process::Chart chart;
    std::vector<history::SeriesPoint> series;  // the records charted, oldest first
};

// The chart of the filter's master with the station's default limits (the first tests of the
// newest record's master version); nothing when the server cannot be read.
std::optional<ChartRead> ReadMasterChart(QSqlDatabase& db, const history::Filter& filter);

struct ChartChoices {
    std::vector<std::string> masters;   // those the period's production records were tested under
    std::vector<std::string> stations;  // the stations that tested them
};

// The choices of the filter's period, whatever its master and station; nothing when the server
// cannot be read.
std::optional<ChartChoices> ReadChartChoices(QSqlDatabase& db, const history::Filter& filter);

}  // namespace plant
