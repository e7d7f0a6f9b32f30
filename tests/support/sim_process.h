// Runs surge-sim for one test: starts it with the given options, points SURGE_COM1 at its
// pseudo-terminal, and stops it (SIGTERM) when the object goes away.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

class SimProcess {
  public:
    // Throws std::runtime_error when the simulator does not start and name its terminal.
    explicit SimProcess(const std::vector<std::string>& options = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& PtyPath() const { return pty_path_; }

    // Everything the simulator logged on stderr so far.
    std::string Log() const;
    // The commands it received, in order, without their carriage return ("ME", "ST"...).
    std::vector<std::string> Commands() const;
    // Waits until at least `count` commands were logged; false after `timeout_seconds`.
    bool WaitForCommands(std::size_t count, double timeout_seconds = 5.0) const;

    // Sends SIGTERM and waits: the exit status (0 for a clean exit), or -1 if it was killed.
    int Stop();

  private:
    pid_t pid_ = -1;
    int exit_status_ = -1;
    std::string pty_path_;
    std::string log_path_;
    std::optional<std::string> previous_com1_;
};
