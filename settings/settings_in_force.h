// The settings in force, from "station.ini" beside the store: read at start-up and whenever the
// file changes (it is looked at every two seconds). A change is an audit row per key, with its
// value before and after. A file that cannot be read, or that contradicts itself (an unknown key,
// a value a key cannot take), is told once, and the settings last read well, kept in the station's
// file, stay in force; without any, the defaults, and the operator is told so.
#pragma once

#include <functional>
#include <string>

#include "settings/station_settings.h"

namespace settings {

constexpr const char* SETTINGS_FILE = "station.ini";

const StationSettings& Settings();
// Reads the settings at start-up.
void StartSettings();
void StopSettings();
// Calls `listener` on the main thread whenever the settings in force change while the station
// runs, after the listeners before it. `who` names it: a listener of that name is replaced, and
// the listeners stay across StartSettings.
void ListenToSettings(const std::string& who, std::function<void()> listener);
void StopListening(const std::string& who);

// Reads "station.ini" again now, as the watch does (for tests).
void CheckSettingsFile();

}  // namespace settings
