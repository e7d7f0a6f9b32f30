// The recording started and stopped as one: the writer, the feed, today's counts and the drift
// watch, each with its own state.
#include "history/recorder.h"

#include "history/feed_start.h"
#include "history/recording_database.h"
#include "history/shift_counts.h"
#include "history/wave_backfill.h"

namespace history {

void Start(const Strip& strip) {
    Stop();
    StartWriter({ShowToday, RecountDay});
    if (!Status().disabled) {
        StartFeed(strip);
    }
    OpenForRecording();
    if (RecordingDatabase() != nullptr && RecordingDatabase()->IsOpen()) {
        StartWaveBackfill();
    }
    StartCounts(strip);
    ShowWaiting(strip, -1, 0);
    StartDriftWatch(strip);
    WatchThePath();
}

Drift Record(const Inspection& inspection) {
    const bool recorded = WriteRecord(inspection);
    CountToday(inspection);
    return WatchDrift(inspection, recorded);
}

long Waiting() {
    const long sent_from_file = FeedWaiting();
    // A record held in memory, not yet in the file, has not reached the server either.
    return sent_from_file < 0 ? sent_from_file
                              : sent_from_file + static_cast<long>(HeldBackRows().size());
}

long Refused() {
    return FeedRefused();
}

void Stop() {
    StopWaveBackfill();
    StopWriter();
    StopCounts();
    StopFeed();
}

}  // namespace history
