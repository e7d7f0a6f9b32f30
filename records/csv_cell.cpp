#include "records/csv_cell.h"

namespace records {

std::string CsvCell(const std::string& text) {
    std::string cell = text;
    if (!cell.empty() && std::string("=+-@").find(cell[0]) != std::string::npos &&
        cell.find_first_not_of("0123456789.-+") != std::string::npos) {
        cell.insert(0, 1, '\'');
    }
    if (cell.find_first_of(",\"\r\n") == std::string::npos) {
        return cell;
    }
    std::string quoted = "\"";
    for (char c : cell) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

}  // namespace records
