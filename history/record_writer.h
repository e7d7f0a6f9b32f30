// The writer of the inspection records: each cycle's record on disk before the cycle goes on.
// What the file cannot take is held in memory and written after the cycle, a chunk at a time; a
// damaged file is set aside, a new one begun and the damaged one's readable records carried into
// it, also after the cycle; a file replaced under the station is put back.
#pragma once

#include "values/inspection.h"
#include "values/wave_opinion.h"

namespace records {
class Database;
}

namespace history {

// What the writer tells the strip.
struct WriterEvents {
    void (*changed)() = nullptr;  // the recording went on or off, or the disk's reserve
    void (*carried)() = nullptr;  // the damaged file's records are all carried over
};

struct WriterStatus {
    bool started = false;
    bool disabled = false;  // SURGE_HISTORY=off
    bool recording = false;
};

// The writer anew, the station's file watched; nothing opened yet.
void StartWriter(const WriterEvents& events);
// Opens the file (the operator told when it cannot be written) and makes the disk's reserve;
// nothing is opened with the history off.
void OpenForRecording();
// Looks at the file's path, and at the records held back, every 2 s while no cycle runs.
void WatchThePath();
// The step after each cycle: the record, carrying `opinion`, the station's own judgement of the
// wave, on disk before it returns; true when it was written.
// When the database cannot be written, recording is off: the operator is told once, the cycle
// goes on as always, and the records wait in memory for the next cycle that can write them.
bool WriteRecord(const Inspection& inspection, const WaveOpinion& opinion = {});
// Tries to write every record waiting in memory now; the records still waiting, or -1 with the
// history off (SURGE_HISTORY=off).
long WriteWaiting();
WriterStatus Status();
// The writer's connection, open or not, for the drift watch's reads of what it just wrote.
records::Database* WriterDatabase();
// Closes the file, after a last try at the records held back.
void StopWriter();

}  // namespace history
