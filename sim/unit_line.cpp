#include "sim/unit_line.h"

#include <string>

namespace {

PopulationSpread SpreadAt(double amplitude) {
    PopulationSpread spread;
    spread.amplitude = amplitude;
    return spread;
}

}  // namespace

UnitLine::UnitLine(unsigned seed, double amplitude) : population_(seed, SpreadAt(amplitude)) {}

WaveBytes UnitLine::Next(const SimOptions& faults) {
    ++unit_;
    const UnitFaults& unit = faults.unit_faults;
    Winding winding = population_.GoodUnit();
    const bool any = unit.faster > 0.0 || unit.more_damped > 0.0 || unit.drift > 0.0 ||
                     unit.arcing || faults.shorted_turns_percent > 0;
    faulty_ = any && unit_ >= unit.from && (unit_ - unit.from) % unit.every == 0;
    if (!faulty_) {
        return population_.Record(winding);
    }
    const int faulty_so_far = (unit_ - unit.from) / unit.every + 1;
    winding = Faster(winding, unit.faster / 100.0);
    winding = MoreDamped(winding, unit.more_damped / 100.0);
    winding = Drifted(winding, faulty_so_far, unit.drift / 100.0);
    // Shorted turns as FaultyWinding makes them, on this unit's own ringing.
    const Winding sound = SoundWinding();
    const Winding shorted = FaultyWinding(faults.shorted_turns_percent);
    winding.frequency *= shorted.frequency / sound.frequency;
    winding.damping *= shorted.damping / sound.damping;
    return population_.Record(winding, unit.arcing);
}

WaveBytes UnitLine::Unnumbered() {
    return population_.Record(population_.GoodUnit());
}

std::string UnitLine::LastUnit() const {
    return "unit " + std::to_string(unit_) + (faulty_ ? ", faulty" : "");
}
