// Making written data and directory entries durable, on POSIX: fsync of the file and of the
// working directory.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "toolkit/toolkit.h"

int FlushFileToDisk(std::FILE* stream) {
    if (stream == nullptr || std::fflush(stream) != 0) {
        return -1;
    }
    return ::fsync(::fileno(stream)) == 0 ? 0 : -1;
}

int SyncWorkingDirectory() {
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const int status = ::fsync(fd);
    ::close(fd);
    return status == 0 ? 0 : -1;
}
