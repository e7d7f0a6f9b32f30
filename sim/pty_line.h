// The simulator's end of the serial line: a raw pseudo-terminal whose slave the station opens.
#pragma once

#include <csignal>
#include <string>

class PtyLine {
  public:
    // Throws std::runtime_error when no pseudo-terminal can be had.
    PtyLine();
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    const std::string& SlavePath() const { return slave_path_; }
    int MasterFd() const { return master_; }
    bool Connected() const { return master_ >= 0; }

    // Sends `bytes`; with `byte_seconds` > 0 each byte leaves only once the bytes before it had
    // their time on the line. Signals in `wait_mask` interrupt the sending: returns false then.
    bool Send(const std::string& bytes, double byte_seconds, const sigset_t& wait_mask);

    // Closes both ends: the station sees the line hang up.
    void HangUp();

    // Holds whatever the station writes from now on on its side of the line, as a line whose
    // output is stopped does: its writes wait.
    void StopStationOutput();
    // The bytes sent to the station that it has not read yet.
    int UnreadByStation() const;

  private:
    int master_ = -1;
    // Held open so that the line stays up while the station has the slave closed.
    int slave_ = -1;
    std::string slave_path_;
};

// Monotonic time in seconds.
double Now();
// Sleeps until `deadline` (of Now()); returns false when a signal in `wait_mask` came first.
bool SleepUntil(double deadline, const sigset_t& wait_mask);
