// Starting other programs, detached: the station never waits for them. Tests may put a
// launcher of their own in place of the system's.
#include "toolkit/launch_platform.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {
toolkit_testing::Launcher replacement;
}

int LaunchProgram(const char* program, const char* argument) {
    if (replacement) {
        return replacement(program, argument);
    }
    if (program == nullptr || *program == '\0') {
        return -1;
    }
    return toolkit_platform::Start_detached(program, argument == nullptr ? "" : argument);
}

int OpenWithDefaultProgram(const char* file) {
    if (replacement) {
        return replacement(std::string(), file);
    }
    return toolkit_platform::Open_with_default_program(file);
}

namespace toolkit_testing {
void SetLauncher(Launcher launcher) {
    replacement = std::move(launcher);
}
}  // namespace toolkit_testing
