// The history's exports: the filter's records and one record's two waves, as CSV files in UTF-8
// with a byte-order mark (so that a spreadsheet shows the Korean names).
#pragma once

#include <optional>
#include <string>

#include "history/history_query.h"
#include "records/csv_cell.h"

namespace history {

// What an export of records came to; on a failure `path` is as it was.
enum class ExportResult { WRITTEN, READ_FAILED, WRITE_FAILED };

// One row per record, oldest first, times as recorded (ISO 8601 with the offset). The file takes
// the place of `path` only once it is wholly written.
ExportResult ExportRecords(const Reader& reader, const Filter& filter, const std::string& path);
// 300 rows: the sample's index, the standard and the measured sample (empty cells for a wave
// the cycle did not reach).
bool ExportWaves(const std::string& path, const std::optional<Wave>& standard,
                 const std::optional<Wave>& measured);

// A cell of a CSV row (records/csv_cell.h, shared with the audit trail's export).
using records::CsvCell;

}  // namespace history
