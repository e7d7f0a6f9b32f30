// The chart panel's resource id and control ids in "surge.uir".
#pragma once

constexpr int CHART = 5;

constexpr int CHART_MASTER = 1;    // text: the master, its version and the period
constexpr int CHART_ITEM = 2;      // ring: area, phase, N.G Pareto, frequency, damping, their EWMAs
constexpr int CHART_BASELINE = 3;  // ring: the master version's first tests, the whole filter
constexpr int CHART_PICTURE = 4;   // picture: the chart drawn
constexpr int CHART_SIGNALS = 5;   // table: the points that break a run rule, newest first
constexpr int CHART_RULE = 6;      // text: the chosen signal's rules named
constexpr int CHART_QUIT = 7;
