#include "history/schema.h"

#include <iterator>

namespace history {

std::string CreateIndex(const Index& index, const char* table) {
    return std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " + table + " (" +
           index.columns + ")";
}

std::vector<std::string> LocalSchema(bool from_version_1) {
    std::vector<std::string> statements = {CREATE_STANDARD, CREATE_RECORD, CREATE_OUTBOX,
                                           CREATE_SCHEMA_VERSION};
    if (from_version_1) {
        statements.insert(statements.end(), std::begin(LOCAL_UPGRADE_FROM_1),
                          std::end(LOCAL_UPGRADE_FROM_1));
    }
    statements.push_back(CREATE_VIEW);
    statements.push_back(CREATE_INSERT_TRIGGER);
    for (const Index& index : READ_INDEXES) {
        statements.push_back(CreateIndex(index, "inspection_record"));
    }
    const std::string version = std::to_string(LOCAL_SCHEMA_VERSION);
    statements.push_back("UPDATE schema_version SET version = " + version + " WHERE version < " +
                         version);
    statements.push_back("INSERT INTO schema_version SELECT " + version +
                         " WHERE NOT EXISTS (SELECT 1 FROM schema_version)");
    return statements;
}

}  // namespace history
