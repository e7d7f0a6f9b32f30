// The length of a station string in bytes.
#include <cstring>

#include "toolkit/toolkit.h"

int StringLength(const char* text) {
    return static_cast<int>(std::strlen(text));
}
