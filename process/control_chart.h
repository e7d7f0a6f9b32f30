// The individuals and moving-range chart of one reading of one master, with its run-rule
// signals and its capability: computed over every record given, thinned only for drawing. The
// wave's frequency and damping are charted the same way over the records whose wave was fitted
// (the others are counted, not charted); no tolerance is set for them, so no capability,
// and an EWMA chart besides.
//
// EWMA, as the station's drift watch (wave/judgement.h): on z_k = (x_k - CL) / sigma of the I-MR
// limits, e_k = 0.2 z_k + 0.8 e_(k-1), e_0 = 0; charted as CL + sigma e_k between the
// asymptotic limits CL +- 3.3 sigma sqrt(0.2 / 1.8), the same for every point (the exact limits
// are narrower over the first dozen points, so the asymptotic ones signal a first step a little
// later, never sooner). A point beyond them is an EWMA signal.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "history/process_query.h"
#include "quality/capability.h"
#include "quality/control_limits.h"
#include "quality/run_rules.h"
#include "quality/stretches.h"

namespace process {

enum class Item { AREA, PHASE, FREQUENCY, DAMPING };
constexpr Item ITEMS[] = {Item::AREA, Item::PHASE, Item::FREQUENCY, Item::DAMPING};
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
    double value = 0;
    quality::RuleSet rules;  // none on the EWMA chart, whose signal is its limit alone
};

struct EwmaChart {
    bool available = false;  // the I-MR limits are there and have a spread
    double ucl = 0;
    double lcl = 0;
    std::vector<ChartPoint> drawn;  // CL + sigma e_k, thinned as the individuals
    std::vector<Signal> signalled;  // each point whose average is beyond a limit; value is x_k
};

struct ItemChart {
    quality::ControlLimits limits;
    std::vector<ChartPoint> drawn;     // the individuals, thinned to their extremes
    std::vector<ChartPoint> mr_drawn;  // the moving ranges, the same
    std::vector<Signal> signalled;     // every point that breaks a rule, oldest first
    std::array<long long, 4> rule_counts{};
    double minimum = 0;
    double maximum = 0;
    std::size_t unfitted = 0;  // records without this reading (a wave not fitted), not charted
    // Area and phase are judged against the judgement setting; the wave's readings have no limit.
    bool specified = true;
    // The capability of the newest stretch of equal judgement setting, against that setting.
    quality::Capability capability;
    int usl = 0;
    std::size_t capability_from = 0;  // where that stretch begins
    EwmaChart ewma;                   // of the frequency and the damping only
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
    ItemChart frequency;
    ItemChart damping;

    const ItemChart& Of(Item item) const;
};

// `baseline` gives the limits; with Baseline::FILTER it is `series` itself. `wave_baseline`, the
// version's first tests whose wave was fitted, gives those of the frequency and the damping.
Chart BuildChart(std::span<const history::SeriesPoint> series,
                 std::span<const history::SeriesPoint> baseline,
                 std::span<const history::SeriesPoint> wave_baseline, Baseline kind);
// The same with `baseline` for every reading.
Chart BuildChart(std::span<const history::SeriesPoint> series,
                 std::span<const history::SeriesPoint> baseline, Baseline kind);

// Reads and builds the chart of the filter's master; false when the history cannot be read.
bool ReadChart(const history::Reader& reader, const history::Filter& filter, Baseline kind,
               Chart* chart);
// The same, handing back the records charted too, oldest first (a chart's index is their place).
bool ReadChart(const history::Reader& reader, const history::Filter& filter, Baseline kind,
               Chart* chart, std::vector<history::SeriesPoint>* series);

// A master version as people read it: the first 8 digits of its hash ("-" for none).
std::string ShortVersion(const std::string& version);

// The item's reading of a record: none for the wave's where the wave was not fitted.
std::optional<double> ValueOf(const history::SeriesPoint& point, Item item);

// "면적", "위상", "주파수", "감쇠".
const char* ItemText(Item item);
// A reading as the panel and the report show it: "15", or the wave's "5.0123".
std::string ValueText(const ItemChart& of, double value);

// "규칙 1: 한 점이 3σ 밖" ... for the rule.
const char* RuleText(quality::Rule rule);
// The rules of a set as "1, 4".
std::string RuleNumbers(quality::RuleSet rules);

}  // namespace process
