#include "sim/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

namespace {

timespec ToTimespec(double seconds) {
    seconds = std::max(seconds, 0.0);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    return ts;
}

// Waits until the master takes more bytes; false when a signal came first.
bool WaitWritable(int fd, const sigset_t& wait_mask) {
    pollfd entry{fd, POLLOUT, 0};
    return ppoll(&entry, 1, nullptr, &wait_mask) >= 0 || errno != EINTR;
}

}  // namespace

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool SleepUntil(double deadline, const sigset_t& wait_mask) {
    for (;;) {
        const double left = deadline - Now();
        if (left <= 0.0) {
            return true;
        }
        const timespec ts = ToTimespec(left);
        if (ppoll(nullptr, 0, &ts, &wait_mask) < 0 && errno == EINTR) {
            return false;
        }
    }
}

PtyLine::PtyLine() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        HangUp();
        throw std::runtime_error("cannot open a pseudo-terminal");
    }
    const char* name = ptsname(master_);
    slave_ = name == nullptr ? -1 : open(name, O_RDWR | O_NOCTTY);
    termios settings{};
    if (slave_ < 0 || tcgetattr(slave_, &settings) != 0) {
        HangUp();
        throw std::runtime_error("cannot open the pseudo-terminal's slave");
    }
    slave_path_ = name;
    // Raw: no echo of the station's bytes, no line editing, no CR/LF translation.
    cfmakeraw(&settings);
    cfsetispeed(&settings, B115200);
    cfsetospeed(&settings, B115200);
    tcsetattr(slave_, TCSANOW, &settings);
}

PtyLine::~PtyLine() {
    HangUp();
}

void PtyLine::HangUp() {
    if (slave_ >= 0) {
        close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

void PtyLine::StopStationOutput() {
    if (slave_ >= 0) {
        tcflow(slave_, TCOOFF);
    }
}

int PtyLine::UnreadByStation() const {
    int unread = 0;
    return slave_ >= 0 && ioctl(slave_, FIONREAD, &unread) == 0 ? unread : 0;
}

bool PtyLine::Send(const std::string& bytes, double byte_seconds, const sigset_t& wait_mask) {
    const double start = Now();
    std::size_t sent = 0;
    while (sent < bytes.size() && master_ >= 0) {
        std::size_t due = bytes.size();
        if (byte_seconds > 0.0) {
            // Byte i has fully crossed the line at start + (i + 1) * byte_seconds.
            due = std::min(bytes.size(), static_cast<std::size_t>(
                                             std::floor((Now() - start) / byte_seconds + 1e-9)));
            if (due <= sent) {
                if (!SleepUntil(start + static_cast<double>(sent + 1) * byte_seconds, wait_mask)) {
                    return false;
                }
                continue;
            }
        }
        const ssize_t written = write(master_, bytes.data() + sent, due - sent);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
        } else if (written < 0 && errno == EAGAIN) {
            if (!WaitWritable(master_, wait_mask)) {
                return false;
            }
        } else if (written < 0 && errno != EINTR) {
            return true;  // the line is gone; nothing more can be sent
        }
    }
    return true;
}
