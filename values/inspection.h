// One inspection cycle that sent its setup command, as a value: what the cycle read, how it
// ended, and when. The cycle builds it; the panel, the history and the checks after it take it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "values/instrument_values.h"
#include "values/outcome.h"
#include "values/wave.h"

// How many days back a unit's earlier tests count towards its attempt, unless the plant sets it.
constexpr int DEFAULT_ATTEMPT_WINDOW_DAYS = 30;

struct Inspection {
    std::chrono::system_clock::time_point started_at;
    std::chrono::system_clock::time_point ended_at;
    std::string serial;  // the unit's number from the serial field; may be empty
    std::string master;  // the master's name, as leaving the registration panel carried it
    // SHA-256 of that master's stored bytes; empty when it matched no stored master.
    std::string master_version;
    std::string operator_name;  // the user logged in; empty without access control
    // The unit's test number within the window of attempts: 1 for its first test; 0 for a cycle
    // that gave no verdict, which is no attempt.
    int attempt = 1;
    bool reference = false;  // a reference unit's test, not production
    // What the cycle did not reach stays empty.
    std::optional<InstrumentSetup> setup;
    std::optional<Wave> measured_wave;
    std::optional<Wave> standard_wave;
    std::optional<TestResult> result;
    Outcome outcome = Outcome::INCOMPLETE;
    // An incomplete cycle's failed command, as its code: "ME", "WT", "WS" or "RE"; else empty.
    std::string failed_command;
};
