// The console's end on Windows, in a child with a console of its own (Wine delivers a console's
// events only to the process that made it): the first event lets the program end itself in order,
// a second ends it at once.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/child_process.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/windows_names.h"

namespace {

HANDLE asked_to_end = nullptr;

void Ending(int) {
    SetEvent(asked_to_end);
}

// `argument`: "1" or "2" events, the second while the program is ending.
int EndedByTheConsole(const std::string& argument) {
    asked_to_end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    FreeConsole();
    if (!AllocConsole() || SetConsoleEndCallback(Ending) != 0 ||
        !GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        return 3;
    }
    if (WaitForSingleObject(asked_to_end, 5000) != WAIT_OBJECT_0) {
        return 4;
    }
    if (argument == "2") {
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        Sleep(10000);
    }
    WriteWholeFile("ended.txt", "in order");
    return 0;
}
const bool registered = RegisterChildTask("ended_by_the_console", EndedByTheConsole);

TEST(ConsoleEndTest, TheFirstEventEndsTheProgramInOrderASecondAtOnce) {
    const struct {
        const char* events;
        int exit_code;
        bool ended_in_order;
    } cases[] = {{"1", 0, true}, {"2", 130, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events);
        ScopedWorkDir dir(false);
        EXPECT_EQ(RunChildTask("ended_by_the_console", c.events), c.exit_code);
        EXPECT_EQ(FileExists("ended.txt") == 1, c.ended_in_order);
    }
}

}  // namespace
