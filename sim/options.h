// Command-line options of the instrument simulator.
#pragma once

#include <map>
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
};

// Fills `options` from the command line. On a bad option returns false with `error` set.
bool ParseOptions(int argc, const char* const* argv, SimOptions* options, std::string* error);
const char* UsageText();
