#include <sstream>

#include "soak/cycle_runner.h"

std::string CycleOutcome::Encode() const {
    std::ostringstream line;
    line << cycle << ' ' << must_tell << ' ' << harmless << ' ' << warnings << ' ' << other_popups
         << ' ' << verdict << ' ' << expected_pass << ' ' << incomplete << ' ' << start_dimmed
         << ' ' << records << ' ' << recorded << ' ' << resident_kib << ' ' << label << '\n';
    return line.str();
}

bool CycleOutcome::Decode(const std::string& line, CycleOutcome* outcome) {
    std::istringstream in(line);
    CycleOutcome o;
    if (!(in >> o.cycle >> o.must_tell >> o.harmless >> o.warnings >> o.other_popups >> o.verdict >>
          o.expected_pass >> o.incomplete >> o.start_dimmed >> o.records >> o.recorded >>
          o.resident_kib)) {
        return false;
    }
    in >> std::ws;
    std::getline(in, o.label);
    *outcome = o;
    return true;
}
