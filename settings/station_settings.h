// The plant's settings for the station, from "station.ini" beside the store: what each key is, its
// default, and the settings as key and value texts (what the station keeps and audits). With every
// default the station behaves as it always has.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "values/inspection.h"
#include "values/outcome.h"

namespace settings {

struct AccessSettings {
    bool enabled = false;   // [access] enabled: a login before the first test, roles, re-asking
    int idle_minutes = 15;  // [access] idle_minutes: a login ends after this long without input
};

// [units]: how far back a unit's earlier tests count towards its attempt.
struct UnitSettings {
    int window_days = DEFAULT_ATTEMPT_WINDOW_DAYS;  // window_days
};

// [retest]: a unit with max_attempts tests in the window, none of them O.K, goes to rework.
struct RetestSettings {
    bool enabled = false;  // enabled
    int max_attempts = 3;  // max_attempts
};

// [line_stop]: the line stops at in_a_row N.G tests in a row of the master's production tests, or
// at ng_of_last N.G among its last of_last.
struct LineStopSettings {
    bool enabled = false;
    int in_a_row = 3;
    int ng_of_last = 3;
    int of_last = 10;
};

// A reference unit of a master: its serial number and the verdict it must get.
struct ReferenceUnit {
    std::string serial;
    Outcome expected = Outcome::OK;
    bool operator==(const ReferenceUnit&) const = default;
};

struct MasterReferences {
    std::string master;
    std::vector<ReferenceUnit> units;
    bool operator==(const MasterReferences&) const = default;
};

// [reference]: each master's reference units ("units = M-01: R-1 O.K, R-2 N.G | M-02: R-3 O.K"),
// tested after each shift start ("shifts = 06:00, 14:00, 22:00", minutes since midnight) and
// after a change of master.
struct ReferenceSettings {
    bool enabled = false;
    std::vector<MasterReferences> units;
    std::vector<int> shifts = {6 * 60, 14 * 60, 22 * 60};
};

// [drift]: a drift alarm (a run rule broken by the master's newest readings) stops the line too,
// until an engineer acknowledges it with a note of the reaction. With wave, the alarm also
// watches the EWMA of the wave's frequency and damping.
struct DriftSettings {
    bool line_stop = false;  // line_stop
    bool wave = false;       // wave
};

// [wave]: the station learns each master version's reference from its first learn_units production
// units that the tester passed (10 to 1000); with hold, a unit the tester passed but the station
// flagged stops its master's line until an engineer releases it with a reason.
struct WaveSettings {
    int learn_units = 30;
    bool hold = false;  // hold
};

// [history] required: no test starts while a record cannot be written (the history off, or a
// record waiting in memory that the file still refuses). reserve_mb: a file of that size beside
// the database, given up when the disk is full so that what waits can still be written.
struct HistorySettings {
    bool required = false;
    int reserve_mb = 16;  // reserve_mb: the disk space kept for the worst moment, 0 for none
};

struct StationSettings {
    AccessSettings access;
    HistorySettings history;
    UnitSettings units;
    RetestSettings retest;
    LineStopSettings line_stop;
    ReferenceSettings reference;
    DriftSettings drift;
    WaveSettings wave;
};

// The gates in force with their values, as the history panel shows them ("재검사 한도 3회 · ...").
std::string GatesInForce(const StationSettings& settings);
// The reference units of `master` in `settings`; empty when it has none.
std::vector<ReferenceUnit> ReferenceUnitsOf(const ReferenceSettings& settings,
                                            const std::string& master);

// One key of "station.ini": its section, its name, and its value's text.
struct Setting {
    std::string key;  // "section/name"
    std::string value;
    bool operator==(const Setting&) const = default;
};

// Every key, in one order, with its value as "station.ini" writes it ("true", "15").
std::vector<Setting> SettingsAsKeys(const StationSettings& settings);
// The settings the keys give, from the defaults; false, with `problem` saying which key and why,
// when a key is unknown or its value cannot be (a word that is no yes or no, a number out of
// range).
bool SettingsFromKeys(const std::vector<Setting>& keys, StationSettings* settings,
                      std::string* problem);

}  // namespace settings
