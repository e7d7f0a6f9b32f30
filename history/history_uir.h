// The history panel's resource id and control ids in "surge.uir".
#pragma once

constexpr int HISTORY = 4;

constexpr int HISTORY_FROM = 1;     // date field: first day
constexpr int HISTORY_TO = 2;       // date field: last day
constexpr int HISTORY_MASTER = 3;   // text: master name, empty for any
constexpr int HISTORY_SERIAL = 4;   // text: unit's number, empty for any
constexpr int HISTORY_OUTCOME = 5;  // ring: any, O.K, N.G, incomplete
constexpr int HISTORY_SEARCH = 6;
constexpr int HISTORY_TESTED = 7;
constexpr int HISTORY_OK = 8;
constexpr int HISTORY_NG = 9;
constexpr int HISTORY_YIELD = 10;
constexpr int HISTORY_TABLE = 11;
constexpr int HISTORY_TREND = 12;  // graph: area and phase over the filter's days
constexpr int HISTORY_WAVES = 13;  // graph: the chosen record's standard and measured waves
constexpr int HISTORY_PAGE = 14;
constexpr int HISTORY_NEWER = 15;
constexpr int HISTORY_OLDER = 16;
constexpr int HISTORY_EXPORT = 17;
constexpr int HISTORY_EXPORT_WAVES = 18;
constexpr int HISTORY_QUIT = 19;
constexpr int HISTORY_STATION = 20;  // text: station, empty for all
constexpr int HISTORY_CHART = 30;    // the chart panel of the filter's master
constexpr int HISTORY_REPORT = 31;   // the report of the current shift or the filter
// The filter's units (history/counts.h) and the gates in force.
constexpr int HISTORY_FIRST_PASS = 21;
constexpr int HISTORY_FINAL_YIELD = 22;
constexpr int HISTORY_RETEST_PASSED = 23;
constexpr int HISTORY_RETESTED = 24;  // History_retested: lists the units passed on retest
constexpr int HISTORY_GATES = 25;

// The operator filter and the audit rows (engineers and administrators under access control).
constexpr int HISTORY_OPERATOR = 40;  // text: the user logged in when recorded, empty for any
constexpr int HISTORY_AUDIT = 41;     // History_audit
// The wave reference learned from the filter's records (dimmed unless the filter names a master).
constexpr int HISTORY_LEARN = 42;  // History_learn

// The audit rows' panel, opened from the history panel.
constexpr int AUDIT = 12;

constexpr int AUDIT_TABLE = 1;  // the newest rows first
constexpr int AUDIT_COUNT = 2;
constexpr int AUDIT_QUIT = 3;
