// The disk's reserve for the history: a file of the size station.ini sets, given up when a write
// finds the disk full, so that what waits can still be written, and made anew once there is room.
#pragma once

namespace history {

// At start-up: the disk not taken for full; where `recording`, the reserve made (the operator
// told when the disk has no room for it).
void StartReserve(bool recording);
// A write failed: where the disk is full and the reserve still there, it is given up and the
// operator told; false otherwise.
bool GiveUpReserve();
// After the disk was full: true once it has room again and the reserve is made anew.
bool RemakeReserve();
// The reserve given up: the records go into its room, and the strip says so in red.
bool DiskFull();

}  // namespace history
