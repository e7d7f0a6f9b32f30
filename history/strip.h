// The controls of the main panel that show today's counts, the recording and the feed.
#pragma once

namespace history {

struct Strip {
    int panel = 0;
    int tested = 0;
    int ok = 0;
    int ng = 0;
    int yield = 0;
    int recording = 0;      // shown while the history is recorded
    int recording_off = 0;  // shown while it is not
    int waiting = 0;        // the records not yet on the plant's server (shown while one is set)
    int drift = 0;          // "추세 경고" with the rule broken, shown while the master drifts
    int first_pass = 0;     // 직행률
};

}  // namespace history
