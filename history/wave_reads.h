// What the wave's judgement reads and keeps in the station's file: the waves a master version's
// reference is learned from (its first passed units, or the records an engineer named), and the
// versions whose reference was learned.
#pragma once

#include <string>
#include <vector>

#include "values/wave.h"

namespace history {

struct Filter;

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

// The records an engineer names for a master version's reference: of the records `filter` lists
// in the station's file, those of `master`'s newest version (the version of its newest record)
// that the tester passed, that are production units and that carry a measured wave.
struct NamedUnits {
    std::string version;  // empty when the file holds no record of the master
    std::vector<long long> records;
    std::vector<Wave> waves;  // theirs, oldest first
};
// Counts them into `*count` and reads them into `named` only when there are at most `at_most`;
// false when the file cannot be read.
bool ReadNamedUnits(const Filter& filter, int at_most, NamedUnits* named, int* count);
// Keeps `named` as the records the reference of `named.version` is learned from at each start, in
// place of any reference of the version before, `dropped` of them left out as outliers; false
// when the file cannot take it now.
bool KeepNamed(const NamedUnits& named, const std::string& master, int dropped);
// The measured waves of the records named for `master_version`, oldest first; none when no
// engineer named any.
std::vector<Wave> NamedWaves(const std::string& master_version);

}  // namespace history
