// The station's database file in the working directory: the inspection records and what the
// station keeps beside them.
#pragma once

namespace records {

constexpr const char* DATABASE_FILE = "inspection_history.db";

}  // namespace records
