// What each soak cycle does to the line: nothing, or one fault injected by the simulator. The
// plan of a cycle follows from the seed and the cycle's number alone, so a worker that takes
// over after a crash carries on with the same plan.
#pragma once

#include <string>
#include <vector>

enum class FaultKind { NONE, SILENCE, SHORT_REPLY, EXTRA_BYTES, GARBAGE, HANG_UP };

struct CyclePlan {
    FaultKind kind = FaultKind::NONE;
    std::string command;    // the command whose reply the fault hits ("" for a hang-up)
    int count = 0;          // bytes sent, added or answered before the hang-up
    int shorted_turns = 0;  // the tested winding: 0 passes, 60 fails

    // The simulator's options for this cycle (besides the common ones).
    std::vector<std::string> SimOptions() const;
    // "silence WT", "garbage RE:3", "hang-up after 2"...
    std::string Label() const;
    // The operator must be told whenever the fault reaches a reply the station reads. Bytes
    // after the start command reach none: nothing is read after "ST", and the flush before
    // "WT" drops them, so they change nothing and must not raise a warning.
    bool MustTell() const;
    // Whether a reply that the station asked for (the simulator received `received`, in order)
    // came incomplete or not at all: missing, short, led by garbage, or cut by the hang-up.
    // Bytes after a whole reply leave it complete.
    bool LeftAReplyIncomplete(const std::vector<std::string>& received) const;
    // The verdict the instrument gives: true for O.K.
    bool ExpectedPass() const { return shorted_turns == 0; }
};

CyclePlan PlanCycle(unsigned seed, int cycle, int fault_every);

// The commands of one cycle, in the order the station sends them.
inline const std::vector<std::string> CYCLE_COMMANDS = {"ME", "ST", "WT", "WS", "RE"};
