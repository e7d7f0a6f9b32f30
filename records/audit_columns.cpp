#include "records/audit_columns.h"

namespace records {

std::string AuditRowColumns(int server_version) {
    std::string names;
    for (const AuditColumn& column : AUDIT_ROW_COLUMNS) {
        if (column.server_since <= server_version) {
            names += (names.empty() ? "" : ", ") + std::string(column.name);
        }
    }
    return names;
}

std::vector<std::size_t> AuditServerPlaces(int server_version) {
    std::vector<std::size_t> places;
    for (std::size_t place = 0; place < std::size(AUDIT_ROW_COLUMNS); ++place) {
        if (AUDIT_ROW_COLUMNS[place].server_since <= server_version) {
            places.push_back(place);
        }
    }
    return places;
}

}  // namespace records
