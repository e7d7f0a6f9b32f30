// The system's side of the launch: one implementation per platform.
#pragma once

#include <functional>
#include <string>

namespace toolkit_platform {

// Starts `program` (looked up on the PATH when it names no folder) with the one argument
// `argument`, detached. 0 when it started, -1 when it could not be started.
int StartDetached(const char* program, const char* argument);
// Opens `file` with the desktop's default program for its kind. 0 when that was started.
int OpenWithDefaultProgram(const char* file);

// A launcher in place of the system's, set by tests and tools (toolkit_testing.h); it gets the
// program (empty for "the default program") and its one argument.
using Launcher = std::function<int(const std::string& program, const std::string& argument)>;
Launcher& ReplacementLauncher();

}  // namespace toolkit_platform
