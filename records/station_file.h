// The station's file as several connections hold it (the recording, the users and the audit
// trail, the forwarder): when one finds it damaged, every one closes it, it is renamed aside, and
// every one begins on a new file.
#pragma once

#include <QString>
#include <functional>
#include <string>

namespace records {

struct StationFileWatch {
    std::function<void()> closing;                    // close every connection to the file
    std::function<void(const QString& aside)> begun;  // open the new one; `aside` is the old
};

// Registers `watch` under `name`, replacing one of that name; an empty watch removes it.
void WatchStationFile(const std::string& name, StationFileWatch watch);
// Sets the damaged station file aside (SetAside, under a name that carries the time) and begins a
// new one. Returns the name it was set aside under; empty when it could not be renamed, and every
// watch then opens the file as it is.
QString SetAsideStationFile();

}  // namespace records
