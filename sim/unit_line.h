// The units of a population coming to the tester one after another, good ones and, from a given
// unit on, faulty ones.
#pragma once

#include <string>

#include "sim/options.h"
#include "sim/population.h"

class UnitLine {
  public:
    UnitLine(unsigned seed, double amplitude);

    // The next unit's recording; `faults` holds its faults (unit_faults, shorted_turns_percent).
    WaveBytes Next(const SimOptions& faults);
    // A good unit's recording that counts as no unit, for a test wave before the first start.
    WaveBytes Unnumbered();
    const WaveBytes& Standard() const { return population_.Standard(); }
    // For the log: the number of the last unit and whether it was faulty.
    std::string LastUnit() const;

  private:
    Population population_;
    int unit_ = 0;
    bool faulty_ = false;
};
