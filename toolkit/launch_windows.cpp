// Starting programs detached on Windows: CreateProcessW for a program, the shell's "open" verb
// for a file's default program.
#include "toolkit/windows_names.h"

#include <shellapi.h>

#include <string>

#include "toolkit/launch_platform.h"

using toolkit_windows::Wide;

namespace toolkit_platform {

namespace {

// One argument of a command line, quoted as the C runtime of the started program splits it.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

int StartDetached(const char* program, const char* argument) {
    const std::wstring name = Wide(program);
    if (name.empty()) {
        return -1;
    }
    std::wstring command = Quoted(name) + L" " + Quoted(Wide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

int OpenWithDefaultProgram(const char* file) {
    const std::wstring name = Wide(file);
    if (name.empty()) {
        return -1;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", name.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32 ? 0 : -1;
}

}  // namespace toolkit_platform
