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

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    bool Connected() const { return master_ >= 0; }

    // Sends `bytes`; with `byteSeconds` > 0 each byte leaves only once the bytes before it had
    // their time on the line. Signals in `waitMask` interrupt the sending: returns false then.
    bool Send(const std::string& bytes, double byteSeconds, const sigset_t& waitMask);

    // Closes both ends: the station sees the line hang up.
    void HangUp();

  private:
    int master_ = -1;
    // Held open so that the line stays up while the station has the slave closed.
    int slave_ = -1;
    std::string slavePath_;
};

// Monotonic time in seconds.
double Now();
// Sleeps until `deadline` (of Now()); returns false when a signal in `waitMask` came first.
bool SleepUntil(double deadline, const sigset_t& waitMask);
