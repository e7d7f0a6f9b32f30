// A cell of a CSV row, for every CSV file the station and its tools write.
#pragma once

#include <string>

namespace records {

// Quoted when it holds a separator, a quote or a line break, and kept from being read as a
// formula when it starts like one.
std::string CsvCell(const std::string& text);

}  // namespace records
