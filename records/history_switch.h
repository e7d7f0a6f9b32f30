// Whether the inspection records are turned off: SURGE_HISTORY=off, read where the station starts
// recording, where the history panel opens and where the audit trail decides whether to write.
#pragma once

namespace records {

bool HistoryOff();

}  // namespace records
