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

CyclePlan PlanCycle(unsigned seed, int cycle, int faultEvery) {
    std::seed_seq sequence{seed, static_cast<unsigned>(cycle), 0x50a4u};
    std::mt19937 engine(sequence);
    CyclePlan plan;
    if (Uniform(engine, 1, faultEvery) != 1) {
        return plan;
    }
    plan.shortedTurns = Uniform(engine, 0, 1) == 0 ? 0 : 60;
    switch (Uniform(engine, 0, 4)) {
        case 0:
            plan.kind = FaultKind::Silence;
            plan.command = Pick(engine, REPLYING);
            break;
        case 1:
            plan.kind = FaultKind::ShortReply;
            plan.command = Pick(engine, REPLYING);
            plan.count = Uniform(engine, 0, ReplyLength(plan.command) - 1);
            break;
        case 2:
            plan.kind = FaultKind::ExtraBytes;
            plan.command = Pick(engine, CYCLE_COMMANDS);
            plan.count = Uniform(engine, 1, 8);
            break;
        case 3:
            plan.kind = FaultKind::Garbage;
            plan.command = Pick(engine, CYCLE_COMMANDS);
            plan.count = Uniform(engine, 1, 8);
            break;
        default:
            plan.kind = FaultKind::HangUp;
            plan.count = Uniform(engine, 0, static_cast<int>(CYCLE_COMMANDS.size()) - 1);
            break;
    }
    return plan;
}

std::vector<std::string> CyclePlan::SimOptions() const {
    std::vector<std::string> options = {"--shorted-turns", std::to_string(shortedTurns)};
    const std::string value = command + ":" + std::to_string(count);
    switch (kind) {
        case FaultKind::None:
            break;
        case FaultKind::Silence:
            options.insert(options.end(), {"--no-reply", command});
            break;
        case FaultKind::ShortReply:
            options.insert(options.end(), {"--short-reply", value});
            break;
        case FaultKind::ExtraBytes:
            options.insert(options.end(), {"--extra-bytes", value});
            break;
        case FaultKind::Garbage:
            options.insert(options.end(), {"--garbage", value});
            break;
        case FaultKind::HangUp:
            options.insert(options.end(), {"--hangup-after", std::to_string(count)});
            break;
    }
    return options;
}

std::string CyclePlan::Label() const {
    const std::string value = command + ":" + std::to_string(count);
    switch (kind) {
        case FaultKind::None:
            return "none";
        case FaultKind::Silence:
            return "silence " + command;
        case FaultKind::ShortReply:
            return "short " + value;
        case FaultKind::ExtraBytes:
            return "extra " + value;
        case FaultKind::Garbage:
            return "garbage " + value;
        case FaultKind::HangUp:
            return "hang-up after " + std::to_string(count);
    }
    return "?";
}

bool CyclePlan::MustTell() const {
    switch (kind) {
        case FaultKind::None:
            return false;
        case FaultKind::ExtraBytes:
        case FaultKind::Garbage:
            return command != "ST";
        default:
            return true;
    }
}

bool CyclePlan::LeftAReplyIncomplete(const std::vector<std::string>& received) const {
    switch (kind) {
        case FaultKind::Silence:
        case FaultKind::ShortReply:
            return Received(received, command);
        case FaultKind::Garbage:
            return command != "ST" && Received(received, command);
        case FaultKind::HangUp:
            // The line drops when command number count + 1 arrives; whatever the station asks
            // for from then on gets no reply.
            return static_cast<int>(received.size()) > count;
        default:
            return false;
    }
}
