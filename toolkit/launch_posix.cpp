// Starting programs detached on POSIX: the program runs as a grandchild in a session of its own,
// so it outlives the station and leaves no child to reap. A pipe that closes on exec tells
// whether the program could be started at all.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "toolkit/launch_platform.h"

namespace toolkit_platform {

namespace {

int SpawnDetached(const char* program, const char* argument) {
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return -1;
    }
    char* const arguments[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        if (::fork() == 0) {
            ::execvp(program, arguments);
            const int error = errno;
            [[maybe_unused]] const ssize_t ignored = ::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    if (child < 0) {
        ::close(report[0]);
        return -1;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n = 0;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    const bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return forked && n == 0 ? 0 : -1;
}

}  // namespace

int StartDetached(const char* program, const char* argument) {
    return SpawnDetached(program, argument);
}

int OpenWithDefaultProgram(const char* file) {
    std::string path = file;
    if (path.empty()) {
        return -1;
    }
    if (path.front() != '/') {
        char directory[PATH_MAX];
        if (::getcwd(directory, sizeof directory) == nullptr) {
            return -1;
        }
        path = std::string(directory) + "/" + path;
    }
    return SpawnDetached("xdg-open", path.c_str());
}

}  // namespace toolkit_platform
