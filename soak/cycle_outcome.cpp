#include <sstream>

#include "soak/cycle_runner.h"

std::string CycleOutcome::Encode() const {
    std::ostringstream line;
    line << cycle << ' ' << mustTell << ' ' << harmless << ' ' << warnings << ' ' << otherPopups
         << ' ' << verdict << ' ' << expectedPass << ' ' << incomplete << ' ' << startDimmed << ' '
         << records << ' ' << recorded << ' ' << residentKiB << ' ' << label << '\n';
    return line.str();
}

bool CycleOutcome::Decode(const std::string& line, CycleOutcome* outcome) {
    std::istringstream in(line);
    CycleOutcome o;
    if (!(in >> o.cycle >> o.mustTell >> o.harmless >> o.warnings >> o.otherPopups >> o.verdict >>
          o.expectedPass >> o.incomplete >> o.startDimmed >> o.records >> o.recorded >>
          o.residentKiB)) {
        return false;
    }
    in >> std::ws;
    std::getline(in, o.label);
    *outcome = o;
    return true;
}
