// What the drift watch reads of a master's records: the limits' baseline (its version's first
// production tests) and its newest readings since its last drift stop was acknowledged, and the
// drift they signal. The station reads its own file; the plant view one station of a server's.
#pragma once

#include <string>
#include <vector>

#include "history/drift.h"

class QSqlDatabase;

namespace history {

struct DriftSubject {
    std::string master;
    std::string version;
    std::string station;  // on a plant's server, the station whose records and trail count
    bool wave = false;    // [drift] wave: the frequency and damping read too
};

struct DriftReadings {
    std::vector<int> baseline_area;  // in time order
    std::vector<int> baseline_phase;
    std::vector<int> area;  // the newest, oldest first
    std::vector<int> phase;
    std::vector<double> baseline_frequency;  // with `wave`: the version's first fitted tests
    std::vector<double> baseline_damping;
    std::vector<double> frequency;  // and the newest fitted, oldest first
    std::vector<double> damping;
};

// False when a read failed.
bool ReadDriftReadings(QSqlDatabase& db, const DriftSubject& subject, DriftReadings* readings);

// The drift the newest of `readings` signals, as the watch decides at a master's first test.
Drift DriftOf(const DriftReadings& readings, bool wave);

}  // namespace history
