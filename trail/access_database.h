// The station's file as access/ uses it: the users, the audit trail, the settings last read well.
// It is opened when the history is on or access control is on: the users live there also with
// SURGE_HISTORY=off, which then stops only the inspection records.
#pragma once

#include "records/database.h"

namespace trail {

// Opens (and creates, with its schema) the file; false when it cannot be opened.
bool OpenAccessDatabase();
// The open file, or nullptr.
records::Database* AccessDatabase();
void CloseAccessDatabase();
// The file: "inspection_history.db" in the working directory unless a tool names another.
void SetAccessDatabasePath(const QString& path);
QString AccessDatabasePath();

}  // namespace trail
