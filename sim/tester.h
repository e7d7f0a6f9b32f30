// The tester's side of the command protocol: what it sends back for each command received,
// with the injected faults applied.
#pragma once

#include <optional>
#include <random>
#include <string>

#include "sim/options.h"
#include "sim/surge_wave.h"
#include "sim/unit_line.h"

struct TesterReply {
    std::string bytes;  // exactly what goes on the line
    std::string note;   // for the log: what was sent and which fault shaped it
    // The line is to drop once the station has read the bytes.
    bool hang_up = false;
};

class SimulatedTester {
  public:
    explicit SimulatedTester(const SimOptions& options);

    // `received` is one command as it arrived, carriage return included.
    TesterReply Respond(const std::string& received);

  private:
    std::string ProperReply(const std::string& command);
    // The units' faults from now on: the fault file's when it holds them, else the options'.
    SimOptions FaultsNow() const;

    SimOptions options_;
    std::mt19937 standard_noise_;
    std::mt19937 test_noise_;
    WaveBytes standard_wave_;
    WaveBytes test_wave_;
    std::optional<UnitLine> units_;  // with a population: its units, one at each start
};
