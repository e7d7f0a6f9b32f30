#include "sim/tester.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr char GARBAGE_BYTE = '\xFF';
constexpr char EXTRA_BYTE = '\r';

int FieldValue(const std::string& setup, int position) {
    return std::atoi(setup.substr(position, 2).c_str());
}

}  // namespace

SimulatedTester::SimulatedTester(const SimOptions& options)
    : options_(options), standard_noise_(options.seed), test_noise_(options.seed + 1) {
    const double amplitude = AmplitudeForVoltage(FieldValue(options_.setup, 2));
    standard_wave_ = RecordWave(SoundWinding(), amplitude, options_.noise, standard_noise_);
    test_wave_ = RecordWave(FaultyWinding(options_.shorted_turns_percent), amplitude,
                            options_.noise, test_noise_);
    if (options_.population) {
        units_.emplace(*options_.population, amplitude);
        standard_wave_ = units_->Standard();
        test_wave_ = units_->Unnumbered();
    }
}

SimOptions SimulatedTester::FaultsNow() const {
    std::ifstream file(options_.fault_file);
    std::string line;
    if (!options_.fault_file.empty() && std::getline(file, line)) {
        if (const std::optional<SimOptions> faults = ParseFaultLine(line)) {
            return *faults;
        }
    }
    return options_;
}

std::string SimulatedTester::ProperReply(const std::string& command) {
    if (command == "ME") {
        return options_.setup;
    }
    if (command == "ST" && units_) {
        test_wave_ = units_->Next(FaultsNow());
        return "";
    }
    if (command == "ST") {
        // Each test records the tested winding anew.
        const double amplitude = AmplitudeForVoltage(FieldValue(options_.setup, 2));
        test_wave_ = RecordWave(FaultyWinding(options_.shorted_turns_percent), amplitude,
                                options_.noise, test_noise_);
        return "";
    }
    if (command == "WT") {
        return std::string(test_wave_.begin(), test_wave_.end());
    }
    if (command == "WS") {
        return std::string(standard_wave_.begin(), standard_wave_.end());
    }
    // "RE"
    if (!options_.result_file.empty()) {
        std::ifstream file(options_.result_file);
        std::string line;
        if (std::getline(file, line) && line.size() == 6) {
            return line;
        }
    }
    if (!options_.result.empty()) {
        return options_.result;
    }
    const Comparison comparison = units_ ? CompareAligned(test_wave_, standard_wave_)
                                         : CompareWaves(test_wave_, standard_wave_);
    return ResultText(comparison, FieldValue(options_.setup, 8));
}

TesterReply SimulatedTester::Respond(const std::string& received) {
    const std::string command = received.substr(0, received.size() - 1);
    if (received.size() != 3 || received.back() != '\r' ||
        (command != "ME" && command != "ST" && command != "WT" && command != "WS" &&
         command != "RE")) {
        return {"", "unknown command, no reply"};
    }
    std::string reply = ProperReply(command);
    const std::string unit = command == "ST" && units_ ? " (" + units_->LastUnit() + ")" : "";
    const auto found = options_.faults.find(command);
    if (found == options_.faults.end()) {
        return {reply, std::to_string(reply.size()) + " bytes" + unit};
    }
    const ReplyFault& fault = found->second;
    if (fault.no_reply) {
        return {"", "no reply (injected)", fault.hangup_after_reply};
    }
    std::string note = std::to_string(reply.size()) + " bytes" + unit;
    if (fault.short_length >= 0 && fault.short_length < static_cast<int>(reply.size())) {
        reply.resize(fault.short_length);
        note = std::to_string(reply.size()) + " bytes (short reply, injected)";
    }
    if (fault.garbage_bytes > 0) {
        reply.insert(0, std::string(fault.garbage_bytes, GARBAGE_BYTE));
        note += " after " + std::to_string(fault.garbage_bytes) + " garbage bytes (injected)";
    }
    if (fault.extra_bytes > 0) {
        reply.append(fault.extra_bytes, EXTRA_BYTE);
        note += " then " + std::to_string(fault.extra_bytes) + " extra bytes (injected)";
    }
    return {reply, note, fault.hangup_after_reply};
}
