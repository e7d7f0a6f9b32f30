#include "records/csv_cell.h"

namespace records {

namespace {

// An optional sign, digits, and an optional point followed by digits: "4.5", "-96".
bool PlainNumber(const std::string& text) {
    std::size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    const auto digits = [&text, &at] {
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            ++at;
        }
        return at > start;
    };
    if (!digits()) {
        return false;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        if (!digits()) {
            return false;
        }
    }
    return at == text.size();
}

}  // namespace

std::string CsvCell(const std::string& text) {
    std::string cell = text;
    if (!cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos &&
        !PlainNumber(cell)) {
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
