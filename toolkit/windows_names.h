// File names on Windows: the station's UTF-8 names as the UTF-16 names the system's wide calls
// take. Includes <windows.h> without its CopyFile and DeleteFile macros, which would rename the
// toolkit's functions of those names.
#pragma once

#include <windows.h>

#undef CopyFile
#undef DeleteFile

#include <string>

namespace toolkit_windows {

// Empty when `utf8` is not valid UTF-8.
inline std::wstring Wide(const char* utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

}  // namespace toolkit_windows
