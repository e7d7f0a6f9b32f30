// surge-sim: answers the station's commands on a pseudo-terminal as the surge tester does.
// The first line on stdout is the path of the terminal to open; every command received is
// logged with a timestamp on stderr.
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "sim/options.h"
#include "sim/pty_line.h"
#include "sim/tester.h"

namespace {

volatile std::sig_atomic_t stop_signal = 0;
double start_time = 0.0;

void OnStopSignal(int signal) {
    stop_signal = signal;
}

void Log(const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f ", Now() - start_time);
    const std::string line = stamp + text + "\n";
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
}

std::string Escaped(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        if (c == '\r') {
            text += "\\r";
        } else if (c >= 0x21 && c <= 0x7e && c != '\\') {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            text += hex;
        }
    }
    return text;
}

// Stop signals are blocked except while the simulator waits, so they cut only a wait short.
sigset_t BlockStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
        sigaddset(&stop_signals, signal);
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t wait_mask;
    sigprocmask(SIG_BLOCK, &stop_signals, &wait_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigdelset(&wait_mask, signal);
    }
    return wait_mask;
}

class Simulator {
  public:
    Simulator(const SimOptions& options, PtyLine& line, const sigset_t& wait_mask)
        : options_(options),
          line_(line),
          wait_mask_(wait_mask),
          tester_(options),
          byte_seconds_(options.pace ? 10.0 / static_cast<double>(options.baud_rate) : 0.0) {}

    void Run() {
        while (stop_signal == 0) {
            pollfd entry{line_.MasterFd(), POLLIN, 0};
            if (ppoll(&entry, 1, nullptr, &wait_mask_) < 0) {
                continue;  // a stop signal, or a spurious wake
            }
            char chunk[512];
            const ssize_t count = read(line_.MasterFd(), chunk, sizeof chunk);
            for (ssize_t i = 0; i < count && stop_signal == 0; ++i) {
                Take(chunk[i]);
                if (!line_.Connected()) {
                    WaitForStop();
                    return;
                }
            }
        }
    }

  private:
    void Take(char byte) {
        pending_ += byte;
        if (byte == '\r') {
            Answer();
        } else if (pending_.size() > 32) {
            Log("RX " + Escaped(pending_) + " (no carriage return, dropped)");
            pending_.clear();
        }
    }

    void Answer() {
        const std::string received = pending_;
        pending_.clear();
        ++commands_received_;
        const double arrived = Now();
        Log("RX " + Escaped(received));
        // Hanging up drops whatever the station has not read yet, so the line goes down when
        // the first command after the answered ones arrives.
        if (options_.hangup_after >= 0 && commands_received_ > options_.hangup_after) {
            line_.HangUp();
            Log("hang-up after " + std::to_string(options_.hangup_after) + " commands (injected)");
            return;
        }
        // At the line rate the command itself needs its time on the wire.
        if (byte_seconds_ > 0.0 &&
            !SleepUntil(arrived + static_cast<double>(received.size()) * byte_seconds_,
                        wait_mask_)) {
            return;
        }
        const TesterReply reply = tester_.Respond(received);
        // The station's next command must not get through before the line drops.
        if (reply.hang_up) {
            line_.StopStationOutput();
        }
        if (!reply.bytes.empty() && !line_.Send(reply.bytes, byte_seconds_, wait_mask_)) {
            return;
        }
        Log("TX " + reply.note);
        if (reply.hang_up && WaitUntilRead(!reply.bytes.empty())) {
            Log("hang-up after the reply to " + received.substr(0, received.size() - 1) +
                " (injected)");
            line_.HangUp();
        }
    }

    // Hanging up drops the bytes the station has not read, so the line goes down once the reply
    // has reached the station's queue and left it, or after half a second. False when a stop
    // signal came first.
    bool WaitUntilRead(bool sent) {
        const double deadline = Now() + 0.5;
        bool arrived = false;
        while (sent && Now() < deadline) {
            const bool unread = line_.UnreadByStation() > 0;
            if (arrived && !unread) {
                break;
            }
            arrived = arrived || unread;
            if (!SleepUntil(Now() + 0.0001, wait_mask_)) {
                return false;
            }
        }
        return true;
    }

    void WaitForStop() {
        while (stop_signal == 0) {
            sigsuspend(&wait_mask_);
        }
    }

    const SimOptions& options_;
    PtyLine& line_;
    sigset_t wait_mask_;
    SimulatedTester tester_;
    double byte_seconds_;
    std::string pending_;
    int commands_received_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    start_time = Now();
    SimOptions options;
    std::string error;
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "surge-sim: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    const sigset_t wait_mask = BlockStopSignals();
    // Pacing needs wake-ups to the tens of microseconds.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    try {
        PtyLine line;
        std::printf("%s\n", line.SlavePath().c_str());
        std::fflush(stdout);
        Log("ready on " + line.SlavePath() + (options.pace ? ", paced at the line rate" : ""));
        Simulator(options, line, wait_mask).Run();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "surge-sim: %s\n", failure.what());
        return 1;
    }
    Log("stopped by signal " + std::to_string(static_cast<int>(stop_signal)));
    return 0;
}
