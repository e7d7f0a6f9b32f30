// What the parts of the inspection history share: its file, a count of cycles.
#pragma once

#include "records/database_file.h"

namespace history {

using records::DATABASE_FILE;

struct Counts {
    long long tested = 0;  // cycles with a verdict
    long long ok = 0;
    long long ng = 0;
};

}  // namespace history
