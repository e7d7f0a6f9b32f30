// The soak's worker: the station's panels offscreen, popups answered by script, the simulator
// on the line, and the start command pressed once per cycle as the operator presses it.
#pragma once

#include <string>

struct SoakSettings {
    int cycles = 2000;
    unsigned seed = 1;
    int fault_every = 10;  // about one cycle in this many gets a fault
};

// What one cycle showed, as the worker reports it to the driver (one line of text).
struct CycleOutcome {
    int cycle = 0;
    bool must_tell = false;      // the plan's fault reaches a reply the station reads
    bool harmless = false;       // a fault was injected that changes nothing the station reads
    int warnings = 0;            // serial-communication warnings shown
    int other_popups = 0;        // any other popup
    int verdict = -1;            // -1 no verdict lamp, 0 N.G, 1 O.K, 2 both lamps
    bool expected_pass = true;   // the instrument's verdict
    bool incomplete = false;     // some reply the station asked for came incomplete or not at all
    bool start_dimmed = false;   // the start command could not be pressed
    int records = 0;             // records the history added for the cycle
    std::string recorded = "-";  // the outcome of the newest ("O.K", "N.G", "incomplete")
    long resident_kib = 0;       // resident memory after the cycle
    std::string label;           // the fault, "none" for a clean cycle

    std::string Encode() const;
    static bool Decode(const std::string& line, CycleOutcome* outcome);
};

// Runs cycles first..settings.cycles-1 and writes one encoded outcome per line to `report_fd`.
// Returns the process exit code; it does not return when the station crashes.
int RunCycles(const SoakSettings& settings, int first, int report_fd);
