#include "tests/support/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace {

constexpr const char* TASK_OPTION = "--surge-child-task=";
constexpr const char* ARGUMENT_OPTION = "--surge-child-argument=";

std::map<std::string, ChildTask>& Tasks() {
    static std::map<std::string, ChildTask> tasks;
    return tasks;
}

#ifdef _WIN32
std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(wide.size() - 1);
    return wide;
}

int RunSelf(const std::vector<std::string>& arguments) {
    wchar_t self[MAX_PATH];
    if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) {
        return -1;
    }
    // The arguments hold no quotes or backslashes before a quote: quoting each is enough.
    std::wstring command = L"\"" + std::wstring(self) + L"\"";
    for (const std::string& argument : arguments) {
        command += L" \"" + Wide(argument) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
#else
int RunSelf(const std::vector<std::string>& arguments) {
    std::vector<std::string> texts{"/proc/self/exe"};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace

void CrashProcess(int code) {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
#endif
    std::_Exit(code);
}

bool RegisterChildTask(const char* name, ChildTask task) {
    Tasks()[name] = task;
    return true;
}

int RunChildTask(const std::string& name, const std::string& argument) {
    std::fflush(nullptr);
    return RunSelf({TASK_OPTION + name, ARGUMENT_OPTION + argument});
}

bool RunChildTaskIfAsked(int argc, char** argv, int* exit_code) {
    std::string name;
    std::string argument;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], TASK_OPTION, std::strlen(TASK_OPTION)) == 0) {
            name = argv[i] + std::strlen(TASK_OPTION);
        } else if (std::strncmp(argv[i], ARGUMENT_OPTION, std::strlen(ARGUMENT_OPTION)) == 0) {
            argument = argv[i] + std::strlen(ARGUMENT_OPTION);
        }
    }
    if (name.empty()) {
        return false;
    }
    auto task = Tasks().find(name);
    *exit_code = task == Tasks().end() ? 126 : task->second(argument);
    return true;
}
