// File utilities on Windows: handles on whole files, and the copy, delete and existence of named
// files. Every file opens in binary mode, the streams of the C library too: text keeps its "\n"
// line ends byte for byte, as on Linux.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "toolkit/toolkit.h"
#include "toolkit/windows_names.h"

using toolkit_windows::Wide;

namespace {

// Set before main, in every program that uses the file utilities (the store does): fopen(name,
// "w") then writes "\n", not "\r\n".
[[maybe_unused]] const bool binary_by_default = (_fmode = _O_BINARY) == _O_BINARY;

class HandleTable {
  public:
    ~HandleTable() {
        for (auto& [handle, fd] : fds_) {
            ::_close(fd);
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
        const int status = ::_close(it->second);
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

}  // namespace

int OpenFile(const char* fileName, int readWriteMode, int action, int /*fileType*/) {
    int flags = readWriteMode == VAL_READ_ONLY    ? _O_RDONLY
                : readWriteMode == VAL_WRITE_ONLY ? _O_WRONLY
                                                  : _O_RDWR;
    if (readWriteMode != VAL_READ_ONLY) {
        flags |= _O_CREAT;
        if (action == VAL_TRUNCATE) {
            flags |= _O_TRUNC;
        } else if (action == VAL_APPEND) {
            flags |= _O_APPEND;
        }
    }
    const std::wstring name = Wide(fileName);
    if (name.empty()) {
        return -1;
    }
    const int fd = ::_wopen(name.c_str(), flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    return fd < 0 ? -1 : Handles().Add(fd);
}

int ReadFile(int fileHandle, char* buffer, int count) {
    const int fd = Handles().Fd(fileHandle);
    if (fd < 0 || count < 0) {
        return -1;
    }
    int total = 0;
    while (total < count) {
        const int n = ::_read(fd, buffer + total, static_cast<unsigned>(count - total));
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        total += n;
    }
    return total;
}

int WriteFile(int fileHandle, const char* buffer, int count) {
    const int fd = Handles().Fd(fileHandle);
    if (fd < 0 || count < 0) {
        return -1;
    }
    for (int written = 0; written < count;) {
        const int n = ::_write(fd, buffer + written, static_cast<unsigned>(count - written));
        if (n <= 0) {
            return -1;
        }
        written += n;
    }
    return count;
}

int CloseFile(int fileHandle) {
    return Handles().Remove(fileHandle);
}

int CopyFile(const char* source, const char* target) {
    const std::wstring from = Wide(source);
    const std::wstring to = Wide(target);
    return !from.empty() && !to.empty() && CopyFileW(from.c_str(), to.c_str(), FALSE) ? 0 : -1;
}

int DeleteFile(const char* fileName) {
    const std::wstring name = Wide(fileName);
    return !name.empty() && DeleteFileW(name.c_str()) ? 0 : -1;
}

int FileExists(const char* fileName) {
    const std::wstring name = Wide(fileName);
    return !name.empty() && GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}
