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

    const std::string& PtyPath() const { return ptyPath_; }

    // Everything the simulator logged on stderr so far.
    std::string Log() const;
    // The commands it received, in order, without their carriage return ("ME", "ST"...).
    std::vector<std::string> Commands() const;
    // Waits until at least `count` commands were logged; false after `timeoutSeconds`.
    bool WaitForCommands(std::size_t count, double timeoutSeconds = 5.0) const;

    // Sends SIGTERM and waits: the exit status (0 for a clean exit), or -1 if it was killed.
    int Stop();

  private:
    pid_t pid_ = -1;
    int exitStatus_ = -1;
    std::string ptyPath_;
    std::string logPath_;
    std::optional<std::string> previousCom1_;
};
