// Replacing a file by renaming another over it, on POSIX: rename(2) replaces the target atomically.
#include <cstdio>

#include "toolkit/toolkit.h"

int RenameFile(const char* existingName, const char* newName) {
    return std::rename(existingName, newName) == 0 ? 0 : -1;
}
