// A page's table as a CSV file, by the cells' rules of the station's exports (records/csv_cell.h):
// UTF-8 with a byte order mark, so that a spreadsheet reads the Korean, and CR LF line ends.
#pragma once

#include <httplib.h>

#include <string>
#include <vector>

namespace plant {

// The rows, the first the column names, as the file's text.
std::string CsvText(const std::vector<std::vector<std::string>>& rows);
// Answers with `rows` as the download `file_name`.
void SendCsv(httplib::Response& response, const std::vector<std::vector<std::string>>& rows,
             const std::string& file_name);

}  // namespace plant
