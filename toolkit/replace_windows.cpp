// Replacing a file by renaming another over it, on Windows. The C library's rename refuses an
// existing target there; MoveFileExW replaces it, and returns only once the move is on the disk.
#include "toolkit/toolkit.h"
#include "toolkit/windows_names.h"

using toolkit_windows::Wide;

int RenameFile(const char* existingName, const char* newName) {
    const std::wstring from = Wide(existingName);
    const std::wstring to = Wide(newName);
    if (from.empty() || to.empty()) {
        return -1;
    }
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : -1;
}
