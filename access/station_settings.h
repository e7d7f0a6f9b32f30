// The plant's settings for the station, from "station.ini" beside the store: what each key is, its
// default, and the settings as key and value texts (what the station keeps and audits). With every
// default the station behaves as it always has.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace access_control {

struct AccessSettings {
    bool enabled = false;   // [access] enabled: a login before the first test, roles, re-asking
    int idle_minutes = 15;  // [access] idle_minutes: a login ends after this long without input
};

struct StationSettings {
    AccessSettings access;
};

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

}  // namespace access_control
