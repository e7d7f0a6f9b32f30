#include "tests/support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

// Reads the first line the child writes, or gives up after `timeout_ms`.
std::string ReadFirstLine(int fd, int timeout_ms) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd entry{fd, POLLIN, 0};
        if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) <= 0) {
            return "";
        }
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got <= 0) {
            return "";
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& options) {
    char log_pattern[] = "/tmp/surge-sim-log-XXXXXX";
    const int log_fd = mkstemp(log_pattern);
    int out[2] = {-1, -1};
    if (log_fd < 0 || pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot prepare the simulator's output");
    }
    log_path_ = log_pattern;

    std::vector<std::string> arguments = {SURGE_SIM_PATH};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        // The simulator must not outlive a test that crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], STDOUT_FILENO);
        dup2(log_fd, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(log_fd);
    if (pid_ < 0) {
        close(out[0]);
        throw std::runtime_error("cannot start the simulator");
    }
    pty_path_ = ReadFirstLine(out[0], 10000);
    close(out[0]);
    if (pty_path_.empty()) {
        Stop();
        unlink(log_path_.c_str());
        throw std::runtime_error("the simulator did not name its terminal: " + Log());
    }
    if (const char* previous = std::getenv("SURGE_COM1")) {
        previous_com1_ = previous;
    }
    setenv("SURGE_COM1", pty_path_.c_str(), 1);
}

SimProcess::~SimProcess() {
    Stop();
    unlink(log_path_.c_str());
    if (previous_com1_) {
        setenv("SURGE_COM1", previous_com1_->c_str(), 1);
    } else {
        unsetenv("SURGE_COM1");
    }
}

int SimProcess::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
    }
    return exit_status_;
}

std::string SimProcess::Log() const {
    std::ifstream file(log_path_, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> SimProcess::Commands() const {
    std::vector<std::string> commands;
    std::istringstream lines(Log());
    std::string line;
    while (std::getline(lines, line)) {
        const auto at = line.find(" RX ");
        if (at == std::string::npos) {
            continue;
        }
        std::string command = line.substr(at + 4);
        if (command.size() >= 2 && command.compare(command.size() - 2, 2, "\\r") == 0) {
            command.resize(command.size() - 2);
        }
        commands.push_back(command);
    }
    return commands;
}

bool SimProcess::WaitForCommands(std::size_t count, double timeout_seconds) const {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    while (Commands().size() < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
