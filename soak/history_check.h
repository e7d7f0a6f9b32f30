// What the inspection history recorded of the soak's cycles, read back through a connection of
// the soak's own.
#pragma once

#include <string>

struct RecordedCycles {
    int records = 0;         // records added since the last look
    std::string last = "-";  // the outcome of the newest one
};

RecordedCycles NewRecords();
