// The columns of an audit row, once: the station's file, a plant's server, what a row is written,
// read and sent with, and the places of its values are all made from this table.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "records/schema_versions.h"

namespace records {

struct AuditColumn {
    const char* name;
    const char* local_type;   // in the station's file
    const char* server_type;  // on a plant's server
    int local_since;          // the schema version of the station's file that added it
    int server_since;         // the same on a server
};

// The software that wrote the row, empty in the rows written before it came.
constexpr const char* AUDIT_VERSION_COLUMN = "software_version";
// The row's code (trail/audit_row.h).
constexpr const char* AUDIT_CODE_COLUMN = "code";

// In the order of trail::AuditRow. The trail came with the file's version 4 and the
// server's version 2; the code a server has only in the witness layout.
inline constexpr AuditColumn AUDIT_ROW_COLUMNS[] = {
    {"seq", "INTEGER PRIMARY KEY", "BIGINT NOT NULL", 4, 2},
    {"at", "TEXT NOT NULL", "TEXT COLLATE \"C\" NOT NULL", 4, 2},
    {"station", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"user_name", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"role", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"action", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"object", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"before_value", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"after_value", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"reason", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"prev_hash", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {"hash", "TEXT NOT NULL", "TEXT NOT NULL", 4, 2},
    {AUDIT_VERSION_COLUMN, "TEXT NOT NULL DEFAULT ''", "TEXT NOT NULL DEFAULT ''", 5, 3},
    {AUDIT_CODE_COLUMN, "TEXT NOT NULL DEFAULT ''", "TEXT NOT NULL DEFAULT ''", 7, WITNESS_LAYOUT},
};

constexpr int AUDIT_ROW_COLUMN_COUNT = static_cast<int>(std::size(AUDIT_ROW_COLUMNS));

// The place of the column `name` in the table; the table's size for none.
constexpr std::size_t AuditPlace(std::string_view name) {
    std::size_t place = 0;
    while (place < std::size(AUDIT_ROW_COLUMNS) && AUDIT_ROW_COLUMNS[place].name != name) {
        ++place;
    }
    return place;
}

namespace audit_columns_internal {

// The columns the trail came with, those of the first row's version.
constexpr int FirstCount() {
    int count = 0;
    while (count < AUDIT_ROW_COLUMN_COUNT &&
           AUDIT_ROW_COLUMNS[count].local_since == AUDIT_ROW_COLUMNS[0].local_since) {
        ++count;
    }
    return count;
}

// The names of the first `count` columns joined by ", ", with their length.
constexpr std::size_t NamesLength(int count) {
    std::size_t length = 0;
    for (int i = 0; i < count; ++i) {
        length += std::string_view(AUDIT_ROW_COLUMNS[i].name).size() + (i > 0 ? 2 : 0);
    }
    return length;
}
template <int COUNT>
constexpr std::array<char, NamesLength(COUNT) + 1> Names() {
    std::array<char, NamesLength(COUNT) + 1> text{};
    std::size_t at = 0;
    for (int i = 0; i < COUNT; ++i) {
        for (const char* from = i > 0 ? ", " : ""; *from != '\0'; ++from) {
            text[at++] = *from;
        }
        for (const char c : std::string_view(AUDIT_ROW_COLUMNS[i].name)) {
            text[at++] = c;
        }
    }
    return text;
}

inline constexpr auto FIRST_NAMES = Names<FirstCount()>();

}  // namespace audit_columns_internal

// The columns the trail came with and their names, as the station's file and a server name them.
constexpr int AUDIT_COLUMN_COUNT = audit_columns_internal::FirstCount();
constexpr const char* AUDIT_COLUMNS = audit_columns_internal::FIRST_NAMES.data();

// The names of the columns a row is written, read and sent with, joined by ", "; to a server of
// `server_version`, those it has (before the witness layout, all but the code).
std::string AuditRowColumns(int server_version = WITNESS_LAYOUT);
// The places in the table of those columns.
std::vector<std::size_t> AuditServerPlaces(int server_version);

}  // namespace records
