// What the wave's judgement reads and keeps in the station's file: the waves a master version's
// reference is learned from, and the versions whose reference was learned.
#pragma once

#include <string>
#include <vector>

#include "values/wave.h"

namespace history {

// How many of `master_version`'s production tests the tester passed, counted up to `at_most`.
int PassedUnits(const std::string& master_version, int at_most);
// The measured waves of its first `units` production tests that the tester passed, oldest first.
std::vector<Wave> LearningWaves(const std::string& master_version, int units);
// The number of units a reference of `master_version` was learned from; 0 when none was.
int LearnedUnits(const std::string& master_version);
// Keeps that a reference of `master_version` was learned from `units` units, `dropped` of them
// left out; false when the file cannot take it now.
bool KeepLearned(const std::string& master_version, const std::string& master, int units,
                 int dropped);

}  // namespace history
