// The history's exports: the filter's records and one record's two waves, as CSV files in UTF-8
// with a byte-order mark (so that a spreadsheet shows the Korean names).
#pragma once

#include <optional>
#include <string>

#include "history/history_query.h"

namespace history {

// What an export of records came to; on a failure `path` is as it was.
enum class ExportResult { WRITTEN, READ_FAILED, WRITE_FAILED };

// One row per record, oldest first, times as recorded (ISO 8601 with the offset). The file takes
// the place of `path` only once it is wholly written.
ExportResult ExportRecords(const Filter& filter, const std::string& path);
// 300 rows: the sample's index, the standard and the measured sample (empty cells for a wave
// the cycle did not reach).
bool ExportWaves(const std::string& path, const std::optional<Wave>& standard,
                 const std::optional<Wave>& measured);

// A cell of a CSV row: quoted when it holds a separator, a quote or a line break, and kept from
// being read as a formula when it starts like one.
std::string CsvCell(const std::string& text);

}  // namespace history
