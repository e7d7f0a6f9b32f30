#include "soak/fault_plan.h"

#include <algorithm>
#include <random>

namespace {

int ReplyLength(const std::string& command) {
    if (command == "ME") {
        return 10;
    }
    if (command == "WT" || command == "WS") {
        return 300;
    }
    if (command == "RE") {
        return 6;
    }
    return 0;  // "ST"
}

const std::vector<std::string> REPLYING = {"ME", "WT", "WS", "RE"};

template <typename Engine>
int Uniform(Engine& engine, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(engine);
}

template <typename Engine>
const std::string& Pick(Engine& engine, const std::vector<std::string>& from) {
    return from[static_cast<std::size_t>(Uniform(engine, 0, static_cast<int>(from.size()) - 1))];
}

bool Received(const std::vector<std::string>& received, const std::string& command) {
    return std::find(received.begin(), received.end(), command) != received.end();
}

}  // namespace

CyclePlan PlanCycle(unsigned seed, int cycle, int fault_every) {
    std::seed_seq sequence{seed, static_cast<unsigned>(cycle), 0x50a4u};
    std::mt19937 engine(sequence);
    CyclePlan plan;
    if (Uniform(engine, 1, fault_every) != 1) {
        return plan;
    }
    plan.shorted_turns = Uniform(engine, 0, 1) == 0 ? 0 : 60;
    switch (Uniform(engine, 0, 4)) {
        case 0:
            plan.kind = FaultKind::SILENCE;
            plan.command = Pick(engine, REPLYING);
            break;
        case 1:
            plan.kind = FaultKind::SHORT_REPLY;
            plan.command = Pick(engine, REPLYING);
            plan.count = Uniform(engine, 0, ReplyLength(plan.command) - 1);
            break;
        case 2:
            plan.kind = FaultKind::EXTRA_BYTES;
            plan.command = Pick(engine, CYCLE_COMMANDS);
            plan.count = Uniform(engine, 1, 8);
            break;
        case 3:
            plan.kind = FaultKind::GARBAGE;
            plan.command = Pick(engine, CYCLE_COMMANDS);
            plan.count = Uniform(engine, 1, 8);
            break;
        default:
            plan.kind = FaultKind::HANG_UP;
            plan.count = Uniform(engine, 0, static_cast<int>(CYCLE_COMMANDS.size()) - 1);
            break;
    }
    return plan;
}

std::vector<std::string> CyclePlan::SimOptions() const {
    std::vector<std::string> options = {"--shorted-turns", std::to_string(shorted_turns)};
    const std::string value = command + ":" + std::to_string(count);
    switch (kind) {
        case FaultKind::NONE:
            break;
        case FaultKind::SILENCE:
            options.insert(options.end(), {"--no-reply", command});
            break;
        case FaultKind::SHORT_REPLY:
            options.insert(options.end(), {"--short-reply", value});
            break;
        case FaultKind::EXTRA_BYTES:
            options.insert(options.end(), {"--extra-bytes", value});
            break;
        case FaultKind::GARBAGE:
            options.insert(options.end(), {"--garbage", value});
            break;
        case FaultKind::HANG_UP:
            options.insert(options.end(), {"--hangup-after", std::to_string(count)});
            break;
    }
    return options;
}

std::string CyclePlan::Label() const {
    const std::string value = command + ":" + std::to_string(count);
    switch (kind) {
        case FaultKind::NONE:
            return "none";
        case FaultKind::SILENCE:
            return "silence " + command;
        case FaultKind::SHORT_REPLY:
            return "short " + value;
        case FaultKind::EXTRA_BYTES:
            return "extra " + value;
        case FaultKind::GARBAGE:
            return "garbage " + value;
        case FaultKind::HANG_UP:
            return "hang-up after " + std::to_string(count);
    }
    return "?";
}

bool CyclePlan::MustTell() const {
    switch (kind) {
        case FaultKind::NONE:
            return false;
        case FaultKind::EXTRA_BYTES:
        case FaultKind::GARBAGE:
            return command != "ST";
        default:
            return true;
    }
}

bool CyclePlan::LeftAReplyIncomplete(const std::vector<std::string>& received) const {
    switch (kind) {
        case FaultKind::SILENCE:
        case FaultKind::SHORT_REPLY:
            return Received(received, command);
        case FaultKind::GARBAGE:
            return command != "ST" && Received(received, command);
        case FaultKind::HANG_UP:
            // The line drops when command number count + 1 arrives; whatever the station asks
            // for from then on gets no reply.
            return static_cast<int>(received.size()) > count;
        default:
            return false;
    }
}
