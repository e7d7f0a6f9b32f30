// The reads of the process charts, the N.G Pareto and the shift report: production records
// only (production.h), streamed along the indexes, never the whole table.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "history/history_query.h"

namespace history {

// One production test with readings, in time order.
struct SeriesPoint {
    long long at = 0;  // its local start time as seconds of a wall clock (SecondsOfWallClock)
    int area = 0;
    int phase = 0;
    int judge = 0;  // the judgement setting it was tested with: the readings' upper limit
    // The wave's fitted ringing: none where it could not be fitted, the record was kept before
    // the station judged waves, or the history has no such column.
    std::optional<double> frequency{};  // cycles per 100 samples
    std::optional<double> damping{};    // nepers per 100 samples
    std::string serial{};               // the unit's serial number, "" for none
};

// "YYYY-MM-DDTHH:MM:SS..." as seconds since 1970-01-01T00:00:00 of the same wall clock; -1 for
// a text that is no time.
long long SecondsOfWallClock(const std::string& text);
std::string WallClockText(long long seconds, const char* format);  // strftime format, in UTC

// The production tests with readings of the filter's master, oldest first, and the version of
// the master its newest one was tested with.
bool ReadSeries(const Reader& reader, const Filter& filter, std::vector<SeriesPoint>* points,
                std::string* version);
// The first `points` production tests with readings of `master` at `version`, over all time.
bool ReadBaseline(const Reader& reader, const std::string& master, const std::string& version,
                  int points, std::vector<SeriesPoint>* baseline);
// The same, of the tests whose wave was fitted: the baseline of the frequency and the damping.
bool ReadWaveBaseline(const Reader& reader, const std::string& master, const std::string& version,
                      int points, std::vector<SeriesPoint>* baseline);

// N.G units (serial numbers; a record without one is a unit of its own) of the filter's
// production records, counted by what they failed under; each list largest first.
enum class ParetoBy { MASTER, STATION, HOUR, OPERATOR };
constexpr std::array<ParetoBy, 4> PARETO_KINDS = {ParetoBy::MASTER, ParetoBy::STATION,
                                                  ParetoBy::HOUR, ParetoBy::OPERATOR};
struct ParetoBar {
    std::string label;
    long long units = 0;
};
struct Pareto {
    std::array<std::vector<ParetoBar>, 4> by;  // in the order of PARETO_KINDS
    long long ng_units = 0;                    // each unit once
};
bool ReadPareto(const Reader& reader, const Filter& filter, Pareto* pareto);

// What the filter's production records were tested under.
struct MasterTested {
    std::string master;
    std::vector<std::string> versions;  // in order; "" for records of no stored master
    Counts counts;
};
bool ReadMastersTested(const Reader& reader, const Filter& filter,
                       std::vector<MasterTested>* masters, std::vector<std::string>* operators,
                       std::vector<std::string>* stations);

}  // namespace history
