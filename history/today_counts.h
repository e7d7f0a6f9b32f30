// Today's counts on the main panel's strip: counted from the file at start-up and at midnight,
// then cycle by cycle, with whether the history is being recorded.
#pragma once

#include "history/strip.h"
#include "values/inspection.h"

namespace history {

// Counts today from the file and the records held back, shows them on `strip`, and sets the
// strip's turn to the next day for the coming midnight.
void StartCounts(const Strip& strip);
// The step after each cycle: today's counts on the strip, this inspection among them.
void CountToday(const Inspection& inspection);
// The strip shown again: the recording went on or off, or the disk's reserve.
void ShowToday();
// The day counted again from the file: a damaged file's records were carried into it.
void RecountDay();
void StopCounts();

}  // namespace history
