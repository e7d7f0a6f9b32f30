// The period of a report asked for on the command line: "YYYY-MM-DD" (a whole day; as the end,
// that day included) or "YYYY-MM-DD HH:MM" (also with a "T"); neither end given: the shift now.
#pragma once

#include <string>

#include "history/history_query.h"

namespace process {

// False (and `error` says why, for the operator) when an end is no time, one end is missing or
// the period is empty. `year`, `month`, `day`, `minute`: now, for the current shift.
bool ReportPeriod(const std::string& from, const std::string& to, int year, int month, int day,
                  int minute, history::Filter* filter, std::string* error);

}  // namespace process
