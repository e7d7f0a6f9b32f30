// A population of units on the line, for the tests and benchmarks of the station's own judgement
// of the wave: good units with a unit-to-unit spread, each recorded with the trigger's jitter and
// 8-bit noise, and faults the tester passes at its usual judge (checked with the rule a tester
// on such a line uses, CompareAligned and ResultText against its standard wave).
#pragma once

#include <random>

#include "sim/surge_wave.h"
#include "values/wave.h"

struct PopulationSpread {
    double frequency = 0.0015;  // relative sigma of a good unit's ringing frequency
    double damping = 0.015;     // relative sigma of its damping
    double jitter = 0.5;        // the impulse comes up to this many samples early or late
    int noise = 2;              // counts, uniform
    double amplitude = AmplitudeForVoltage(45);
};

class Population {
  public:
    explicit Population(unsigned seed, const PopulationSpread& spread = {});

    // A good unit's winding, around the sound winding.
    Winding GoodUnit();
    // One recording of a winding; with arcing, one to three bursts of spikes on the ringing.
    WaveBytes Record(const Winding& winding, bool arcing = false);
    // The tester's verdict: O.K at `judge` against its standard wave (the sound winding).
    bool TesterPasses(const WaveBytes& wave, int judge = 8) const;
    const WaveBytes& Standard() const { return standard_; }

  private:
    void AddArcing(WaveBytes& wave);

    PopulationSpread spread_;
    std::mt19937 random_;
    WaveBytes standard_;
};

// Shorted turns: the ringing `relative` faster (0.01 for 1 %).
Winding Faster(Winding winding, double relative);
// More losses: the damping `relative` higher (0.10 for 10 %).
Winding MoreDamped(Winding winding, double relative);
// A wire lot that drifts: the frequency `per_unit` higher for each unit since the drift began.
Winding Drifted(Winding winding, int units, double per_unit = 0.0002);

// The station's signed wave of the tester's bytes.
Wave ToWave(const WaveBytes& bytes);
