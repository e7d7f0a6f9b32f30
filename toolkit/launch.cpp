// Starting other programs, detached: the station never waits for them. Tests may put a
// launcher of their own in place of the system's.
#include "toolkit/launch_platform.h"
#include "toolkit/toolkit.h"

namespace toolkit_platform {
Launcher& ReplacementLauncher() {
    static Launcher instance;
    return instance;
}
}  // namespace toolkit_platform

int LaunchProgram(const char* program, const char* argument) {
    if (const auto& replacement = toolkit_platform::ReplacementLauncher()) {
        return replacement(program, argument);
    }
    if (program == nullptr || *program == '\0') {
        return -1;
    }
    return toolkit_platform::StartDetached(program, argument == nullptr ? "" : argument);
}

int OpenWithDefaultProgram(const char* file) {
    if (const auto& replacement = toolkit_platform::ReplacementLauncher()) {
        return replacement(std::string(), file);
    }
    return toolkit_platform::OpenWithDefaultProgram(file);
}
