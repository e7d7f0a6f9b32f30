// The wave's features of the records kept before the station judged waves, computed in the
// background into `wave_features` (records/schema.h), newest first: the records the panel, the
// charts and a plant's server look at first are those of the last days. Resumable: the file keeps
// how far down it has come. A record without a measured wave, one with a verdict missing, or one
// whose wave is not 300 bytes is passed over; no reference judged them, so no alarm is given.
#pragma once

#include <atomic>
#include <string>

namespace history {

struct BackfillStep {
    bool ok = false;        // false: the file could not be read or written; nothing was kept
    bool finished = false;  // no record is left to look at
    int computed = 0;       // the records whose features were kept in this step
};

// Looks at up to `batch` records of the file at `path` that lack their features, on a connection
// of its own, computes them and keeps them, queued for a plant's server, with how far it came, in
// one short transaction.
// `stopping` cuts the step short, keeping nothing of it.
BackfillStep BackfillWaveFeatures(const std::string& path, int batch,
                                  const std::atomic<bool>& stopping);

// Runs the steps on a thread of its own at the lowest priority, a pause after each so that a
// cycle's writes never wait long, on the station's file; stops once none is left. A file set aside
// or put back (records/station_file.h) stops it until the new file is open.
void StartWaveBackfill();
// Stops the thread and waits for it: at most one wave's features or one step's commit.
void StopWaveBackfill();

}  // namespace history
