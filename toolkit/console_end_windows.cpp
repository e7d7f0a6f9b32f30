// The console's end on Windows: Ctrl+C, Ctrl+Break, the console window closed, a logoff or a
// shutdown call the handler on a thread of the system's. The first asks the program to end as its
// quit does; a second ends the process at once. For the closing events the system ends the process
// as soon as the handler returns, so the handler holds its thread while the program ends itself.
#include "toolkit/windows_names.h"

#include <atomic>
#include <string>

#include "log/log.h"
#include "toolkit/toolkit.h"

namespace {

// As a shell reports a program ended by Ctrl+C.
constexpr UINT ENDED_AT_ONCE = 130;

std::atomic<void (*)(int)> ending{nullptr};
std::atomic<int> events{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const auto call = ending.load();
    if (call == nullptr) {
        return FALSE;
    }
    if (events.fetch_add(1) > 0) {
        ExitProcess(ENDED_AT_ONCE);
    }
    surge_log::Write(
        "stop", "console event " + std::to_string(event) + ": the station ends as a quit would");
    call(static_cast<int>(event));
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

int SetConsoleEndCallback(void (*function)(int event)) {
    if (function == nullptr) {
        return -1;
    }
    events = 0;
    ending = function;
    return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) ? 0 : -1;
}
