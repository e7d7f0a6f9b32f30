// The individuals and moving-range chart of one reading of one master, with its run-rule
// signals and its capability: computed over every record given, thinned only for drawing.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "history/process_query.h"
#include "quality/capability.h"
#include "quality/control_limits.h"
#include "quality/run_rules.h"
#include "quality/stretches.h"

namespace process {

enum class Item { AREA, PHASE };
// Where the limits come from: the master version's first tests, or every record charted.
enum class Baseline { FIRST_TESTS, FILTER };

constexpr std::size_t DRAWN_POINTS = 1200;  // at most, on each of the two charts

struct ChartPoint {
    std::size_t index = 0;  // its place in time order, from 0
    double value = 0;
};

struct Signal {
    std::size_t index = 0;
    long long at = 0;
    int value = 0;
    quality::RuleSet rules;
};

struct ItemChart {
    quality::ControlLimits limits;
    std::vector<ChartPoint> drawn;     // the individuals, thinned to their extremes
    std::vector<ChartPoint> mr_drawn;  // the moving ranges, the same
    std::vector<Signal> signalled;     // every point that breaks a rule, oldest first
    std::array<long long, 4> rule_counts{};
    int minimum = 0;
    int maximum = 0;
    // The capability of the newest stretch of equal judgement setting, against that setting.
    quality::Capability capability;
    int usl = 0;
    std::size_t capability_from = 0;  // where that stretch begins
};

struct Chart {
    std::string master;
    std::string version;  // the newest record's master version
    Baseline baseline = Baseline::FIRST_TESTS;
    std::size_t count = 0;         // records charted
    std::vector<long long> times;  // each record's start (SecondsOfWallClock), for the time axis
    std::vector<quality::Stretch> stretches;  // the judgement setting's runs: the limit line
    ItemChart area;
    ItemChart phase;

    const ItemChart& Of(Item item) const { return item == Item::AREA ? area : phase; }
};

// `baseline` gives the limits; with Baseline::FILTER it is `series` itself.
Chart BuildChart(std::span<const history::SeriesPoint> series,
                 std::span<const history::SeriesPoint> baseline, Baseline kind);

// Reads and builds the chart of the filter's master; false when the history cannot be read.
bool ReadChart(const history::Reader& reader, const history::Filter& filter, Baseline kind,
               Chart* chart);

// A master version as people read it: the first 8 digits of its hash ("-" for none).
std::string ShortVersion(const std::string& version);

// "규칙 1: 한 점이 3σ 밖" ... for the rule.
const char* RuleText(quality::Rule rule);
// The rules of a set as "1, 4".
std::string RuleNumbers(quality::RuleSet rules);

}  // namespace process
