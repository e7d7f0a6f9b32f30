// Whether the history is turned off: SURGE_HISTORY=off, read where the station starts recording
// and where the history panel opens.
#pragma once

namespace history {

bool HistoryOff();

}  // namespace history
