// The recording's connection and the records it holds back, for the reads made during a cycle.
#pragma once

#include <deque>

#include "records/database.h"

namespace history {

// Null while nothing is recorded (SURGE_HISTORY=off, or the file cannot be opened).
records::Database* RecordingDatabase();
const std::deque<records::InspectionRow>& HeldBackRows();

}  // namespace history
