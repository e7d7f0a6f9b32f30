// Command-line options of the instrument simulator.
#pragma once

#include <map>
#include <optional>
#include <string>

// A fault injected into the reply to one command, every time that command arrives.
struct ReplyFault {
    bool no_reply = false;
    int short_length = -1;  // send only this many bytes of the reply; -1: all of it
    int extra_bytes = 0;    // bytes sent after the reply
    int garbage_bytes = 0;  // bytes sent before the reply
    // The line drops once the station has read the reply.
    bool hangup_after_reply = false;
};

// Faults of a population's units: from unit `from` on, on every `every`th unit.
struct UnitFaults {
    double faster = 0.0;       // the ringing faster, percent (shorted turns)
    double more_damped = 0.0;  // the damping higher, percent
    double drift = 0.0;        // the ringing faster by this percent for each faulty unit so far
    bool arcing = false;       // bursts of spikes on the ringing
    int from = 1;
    int every = 1;

    bool operator==(const UnitFaults&) const = default;
};

struct SimOptions {
    std::string setup = "0345051007";  // reply to "ME\r": model, voltage, width, pulses, judge
    std::string result;                // fixed reply to "RE\r" (six characters); empty: computed
    std::string result_file;           // read at each "RE\r": six characters there are the reply
    int shorted_turns_percent = 0;     // share of the tested winding's turns that are shorted
    unsigned seed = 1;
    int noise = 1;      // largest noise on a sample, in counts
    bool pace = false;  // send at the line rate instead of all at once
    long baud_rate = 115200;
    int hangup_after = -1;  // answer this many commands, hang up on the next; -1: never
    std::map<std::string, ReplyFault> faults;  // by command name: "ME", "ST", "WT", "WS", "RE"
    std::optional<unsigned> population;        // seed of a population tested unit by unit
    UnitFaults unit_faults;                    // with shorted_turns_percent, on its units
    std::string fault_file;                    // read at each "ST\r": the faults from then on
};

// Fills `options` from the command line. On a bad option returns false with `error` set.
bool ParseOptions(int argc, const char* const* argv, SimOptions* options, std::string* error);
// The units' faults (and shorted turns) a line of options sets, e.g. "--faster 1 --arcing";
// nothing when the line holds anything else.
std::optional<SimOptions> ParseFaultLine(const std::string& line);
const char* UsageText();
