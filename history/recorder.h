// The inspection history as the station sees it: the inspection cycle fills one Cycle as it goes
// and hands it to Record when it ends; the main panel's strip shows today's counts.
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "history/basics.h"

namespace history {

// One inspection cycle that sent its setup command. What the cycle did not reach stays empty.
struct Cycle {
    std::chrono::system_clock::time_point started_at = std::chrono::system_clock::now();
    std::string serial;
    std::string master;  // the master's name, as leaving the registration panel carried it
    std::string model_no;
    std::optional<double> voltage;
    std::optional<int> width;
    std::optional<int> pulse_no;
    std::optional<int> judge;
    std::optional<int> area;
    std::optional<int> phase;
    std::optional<Wave> standard_wave;
    std::optional<Wave> measured_wave;
    std::string outcome;     // "O.K", "N.G" or "incomplete"
    std::string stopped_at;  // an incomplete cycle's failed command: "ME", "WT", "WS" or "RE"
};

// The controls of the main panel that show today's counts.
struct Strip {
    int panel = 0;
    int tested = 0;
    int ok = 0;
    int ng = 0;
    int yield = 0;
    int recording = 0;      // shown while the history is recorded
    int recording_off = 0;  // shown while it is not
    int waiting = 0;        // the records not yet on the plant's server (shown while one is set)
};

// Opens "inspection_history.db" in the working directory and shows today's counts on `strip`.
// With SURGE_HISTORY=off nothing is opened or written and the strip says so. With a server in
// SURGE_HISTORY_DB every record is also queued and sent to it, off the inspection's path.
void Start(const Strip& strip);
// Records the cycle, on disk before it returns, and updates the strip. When the database cannot
// be written, recording is off: the operator is told once, the cycle goes on as always, and the
// records wait in memory for the next cycle that can write them.
void Record(const Cycle& cycle);
// The records the plant's server has not acknowledged yet; -1 without a server.
long Waiting();
// Closes the database (the station's shutdown), after a last try at the records held back.
void Stop();

}  // namespace history
