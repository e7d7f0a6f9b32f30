// The shift report: one PDF (A4, the Nanum fonts embedded) of a period's production: the
// station, the masters and operators, the counts and the units' yields, the N.G Pareto, the drift
// alarms, line stops, acknowledgements and overrides, the reference units' tests, and each
// master's control charts with their capability. Written beside its target and renamed into
// place.
#pragma once

#include <functional>
#include <string>

#include "history/history_query.h"

namespace process {

enum class ReportResult { WRITTEN, READ_FAILED, WRITE_FAILED };

// `progress(done, total)` after each part; `made_at` is printed as the time it was made.
ReportResult WriteShiftReport(const history::Reader& reader, const history::Filter& filter,
                              const std::string& path, const std::string& made_at,
                              const std::function<void(int done, int total)>& progress);

// "2026-12-09 06:00 ~ 2026-12-09 14:00" or "2026-12-01 ~ 2026-12-09".
std::string PeriodText(const history::Filter& filter);

}  // namespace process
