// Test entry of the core's tests, without panels: the popups are scripted, and a child process
// started by a test runs its task instead of the tests.
#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "toolkit/toolkit_testing.h"

int main(int argc, char** argv) {
    toolkit_testing::ScriptPopups(true);
    int exit_code = 0;
    if (RunChildTaskIfAsked(argc, argv, &exit_code)) {
        return exit_code;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
