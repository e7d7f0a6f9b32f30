// Opening the store finishes a replacement that was interrupted, or discards what it left.
#include "master/store_internal.h"
#include "toolkit/toolkit.h"

namespace store_internal {

bool Recover_interrupted_replacement() {
    if (FileExists(COMMIT_MARKER_FILE)) {
        TempPair pair{};
        if (!Read_commit_marker(&pair)) {
            Warn_damaged(COMMIT_MARKER_FILE, 0);
            return false;
        }
        if (!Finish_replacement(pair)) {
            Warn(STORE_WRITE_FAILED_TEXT);
            return false;
        }
    }
    // Without a marker, any temporary file left belongs to a change that never took place. One
    // that cannot be deleted does no harm: every change starts its pair empty.
    for (const char* leftover : {SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE, DELETE_TEMP_NAME_FILE,
                                 DELETE_TEMP_WAVE_FILE, COMMIT_MARKER_TEMP_FILE}) {
        if (FileExists(leftover)) {
            DeleteFile(leftover);
        }
    }
    return true;
}

}  // namespace store_internal
