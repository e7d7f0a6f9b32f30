// File utilities on POSIX: handles on whole files, and the copy, delete and existence of named
// files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "toolkit/toolkit.h"

namespace {

// Open handles, closed by CloseFile or at exit.
class HandleTable {
  public:
    ~HandleTable() {
        for (auto& [handle, fd] : fds_) {
            ::close(fd);
        }
    }
    int Add(int fd) {
        const int handle = next_++;
        fds_[handle] = fd;
        return handle;
    }
    int Fd(int handle) const {
        auto it = fds_.find(handle);
        return it == fds_.end() ? -1 : it->second;
    }
    int Remove(int handle) {
        auto it = fds_.find(handle);
        if (it == fds_.end()) {
            return -1;
        }
        const int status = ::close(it->second);
        fds_.erase(it);
        return status == 0 ? 0 : -1;
    }

  private:
    std::map<int, int> fds_;
    int next_ = 0;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

bool WriteAll(int fd, const char* data, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int OpenFile(const char* fileName, int readWriteMode, int action, int /*fileType*/) {
    int flags = readWriteMode == VAL_READ_ONLY    ? O_RDONLY
                : readWriteMode == VAL_WRITE_ONLY ? O_WRONLY
                                                  : O_RDWR;
    if (readWriteMode != VAL_READ_ONLY) {
        flags |= O_CREAT;
        if (action == VAL_TRUNCATE) {
            flags |= O_TRUNC;
        } else if (action == VAL_APPEND) {
            flags |= O_APPEND;
        }
    }
    const int fd = ::open(fileName, flags | O_CLOEXEC, 0644);
    return fd < 0 ? -1 : Handles().Add(fd);
}

int ReadFile(int fileHandle, char* buffer, int count) {
    const int fd = Handles().Fd(fileHandle);
    if (fd < 0 || count < 0) {
        return -1;
    }
    int total = 0;
    while (total < count) {
        const ssize_t n = ::read(fd, buffer + total, static_cast<std::size_t>(count - total));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<int>(n);
    }
    return total;
}

int WriteFile(int fileHandle, const char* buffer, int count) {
    const int fd = Handles().Fd(fileHandle);
    if (fd < 0 || count < 0 || !WriteAll(fd, buffer, static_cast<std::size_t>(count))) {
        return -1;
    }
    return count;
}

int CloseFile(int fileHandle) {
    return Handles().Remove(fileHandle);
}

int CopyFile(const char* source, const char* target) {
    const int in = ::open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return -1;
    }
    const int out = ::open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return -1;
    }
    char chunk[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!WriteAll(out, chunk, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    if (::close(out) != 0) {
        ok = false;
    }
    return ok ? 0 : -1;
}

int DeleteFile(const char* fileName) {
    return std::remove(fileName) == 0 ? 0 : -1;
}

int FileExists(const char* fileName) {
    struct stat info;
    return ::stat(fileName, &info) == 0 ? 1 : 0;
}
