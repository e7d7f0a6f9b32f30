// Making written data durable, on Windows: FlushFileBuffers on the stream's file. Renames are
// made durable by MOVEFILE_WRITE_THROUGH and directories cannot be flushed, so the working
// directory's sync has nothing to do.
#include <io.h>

#include <cstdio>

#include "toolkit/toolkit.h"
#include "toolkit/windows_names.h"

int FlushFileToDisk(std::FILE* stream) {
    if (stream == nullptr || std::fflush(stream) != 0) {
        return -1;
    }
    const auto file = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    return file != INVALID_HANDLE_VALUE && FlushFileBuffers(file) ? 0 : -1;
}

int SyncWorkingDirectory() {
    return 0;
}
