// The station's file as several connections hold it (the recording, the users and the audit
// trail, the forwarder, the history panel): when one finds it damaged, every one closes it, it is
// renamed aside, and every one begins on a new file. When the path comes to name another file
// than the one open (a backup restored over it, the file deleted), the open one is copied back to
// the path and every connection opens the copy.
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

// Notes the file the path names now, with its -wal and -shm, as the one the station has open.
void NoteOpenStationFile();
// Whether the path no longer names the file noted: another file in its place, or none.
bool StationFileReplaced();

struct Restored {
    bool done = false;  // false: the copy could not be made, and nothing was changed
    QString aside;      // where the file found in the path's place went; empty for none
};
// Has `copy_open_file` copy the database open (the file noted, which the path no longer names) to
// an empty file of the station's user alone, sets what the path then names aside (with a -wal and
// -shm that are not the open file's), and has every watch close and open again, on the copy put in
// the path's place, told of no file set aside: nothing of the stranger's is carried over.
Restored RestoreStationFile(const std::function<bool(const QString& copy)>& copy_open_file);

}  // namespace records
