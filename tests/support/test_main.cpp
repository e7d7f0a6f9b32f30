// Test entry: the toolkit's engine runs offscreen and the popups are scripted, so every test
// can drive real panels and read what the operator would have been shown.
#include <gtest/gtest.h>

#include <cstdlib>

#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (InitRuntimeEngine(argc, argv) == 0) {
        return 1;
    }
    toolkit_testing::ScriptPopups(true);
    const int status = RUN_ALL_TESTS();
    CloseRuntimeEngine();
    return status;
}
