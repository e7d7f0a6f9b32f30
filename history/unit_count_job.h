// A filter's units (counts.h) counted on a thread of their own: over months they take seconds, and
// the history panel shows its other figures and pages meanwhile.
#pragma once

#include <functional>

#include "history/basics.h"
#include "history/history_query.h"

namespace history {

// The filter's period is long enough (more than 31 days) for its units to take seconds.
bool UnitsTakeLong(const Filter& filter);
// Counts the filter's units on a connection of its own to the history `reader` reads, and runs
// `done` on the UI thread with them (ok false when they could not be read), unless a later start
// or StopUnitCount came first. False when there is nothing to count on (no reader, no period).
bool StartUnitCount(const Reader& reader, const Filter& filter,
                    std::function<void(bool ok, const UnitCounts& units)> done);
// Forgets the count under way and waits for its thread to end; without `wait` the thread runs on
// to its end, and a later start or stop reaps it.
void StopUnitCount(bool wait = true);

}  // namespace history
