#include "sim/tester.h"

#include <cstdlib>

namespace {

constexpr char kGarbageByte = '\xFF';
constexpr char kExtraByte = '\r';

int FieldValue(const std::string& setup, int position) {
    return std::atoi(setup.substr(position, 2).c_str());
}

}  // namespace

SimulatedTester::SimulatedTester(const SimOptions& options)
    : options_(options), standardNoise_(options.seed), testNoise_(options.seed + 1) {
    const double amplitude = AmplitudeForVoltage(FieldValue(options_.setup, 2));
    standardWave_ = RecordWave(SoundWinding(), amplitude, options_.noise, standardNoise_);
    testWave_ = RecordWave(FaultyWinding(options_.shortedTurnsPercent), amplitude, options_.noise,
                           testNoise_);
}

std::string SimulatedTester::ProperReply(const std::string& command) {
    if (command == "ME") {
        return options_.setup;
    }
    if (command == "ST") {
        // Each test records the tested winding anew.
        const double amplitude = AmplitudeForVoltage(FieldValue(options_.setup, 2));
        testWave_ = RecordWave(FaultyWinding(options_.shortedTurnsPercent), amplitude,
                               options_.noise, testNoise_);
        return "";
    }
    if (command == "WT") {
        return std::string(testWave_.begin(), testWave_.end());
    }
    if (command == "WS") {
        return std::string(standardWave_.begin(), standardWave_.end());
    }
    // "RE"
    if (!options_.result.empty()) {
        return options_.result;
    }
    return ResultText(CompareWaves(testWave_, standardWave_), FieldValue(options_.setup, 8));
}

TesterReply SimulatedTester::Respond(const std::string& received) {
    const std::string command = received.substr(0, received.size() - 1);
    if (received.size() != 3 || received.back() != '\r' ||
        (command != "ME" && command != "ST" && command != "WT" && command != "WS" &&
         command != "RE")) {
        return {"", "unknown command, no reply"};
    }
    std::string reply = ProperReply(command);
    const auto found = options_.faults.find(command);
    if (found == options_.faults.end()) {
        return {reply, std::to_string(reply.size()) + " bytes"};
    }
    const ReplyFault& fault = found->second;
    if (fault.noReply) {
        return {"", "no reply (injected)"};
    }
    std::string note = std::to_string(reply.size()) + " bytes";
    if (fault.shortLength >= 0 && fault.shortLength < static_cast<int>(reply.size())) {
        reply.resize(fault.shortLength);
        note = std::to_string(reply.size()) + " bytes (short reply, injected)";
    }
    if (fault.garbageBytes > 0) {
        reply.insert(0, std::string(fault.garbageBytes, kGarbageByte));
        note += " after " + std::to_string(fault.garbageBytes) + " garbage bytes (injected)";
    }
    if (fault.extraBytes > 0) {
        reply.append(fault.extraBytes, kExtraByte);
        note += " then " + std::to_string(fault.extraBytes) + " extra bytes (injected)";
    }
    return {reply, note};
}
