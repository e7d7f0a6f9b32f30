// Runs part of a test in a child process: the test program started again in the working
// directory, running a task that the test registered. The child may end anywhere (as a crash
// would end it) without ending the test. The same on POSIX and Windows.
#pragma once

#include <string>

using ChildTask = int (*)(const std::string& argument);

// Registers `task` under `name`; returns true, for use as a namespace-scope initializer.
bool RegisterChildTask(const char* name, ChildTask task);

// Runs the task `name` with `argument` in a child process; returns its exit code, -1 when the
// child could not be started.
int RunChildTask(const std::string& name, const std::string& argument);

// Ends this process at once with `code`, as a crash would: nothing buffered is written. (The C
// library's _Exit on Windows still writes the streams' buffers.)
[[noreturn]] void CrashProcess(int code);

// Called first in main: when this process is such a child, runs its task and returns true with
// the task's exit code in *exit_code.
bool RunChildTaskIfAsked(int argc, char** argv, int* exit_code);
