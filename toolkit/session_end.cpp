// The end of the session: SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, a service stopped)
// end the station the way its own quit does, from the event loop, once the running callback has
// returned. The signal handler only writes the signal's number into a pipe that the event loop
// watches; a second signal ends the process at once.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <string>

#include "log/log.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};
// How often a popup open when the session ends is answered with its cancel.
constexpr int POPUP_CLOSE_MS = 100;

int signal_pipe[2] = {-1, -1};
volatile sig_atomic_t signalled = 0;

struct SessionEnd {
    DeferredCallbackPtr function = nullptr;
    void* data = nullptr;
    QSocketNotifier* notifier = nullptr;
};

SessionEnd& TheSessionEnd() {
    static SessionEnd instance;
    return instance;
}

void OnSignal(int number) {
    if (signalled != 0) {
        _exit(128 + number);
    }
    signalled = number;
    const char byte = static_cast<char>(number);
    (void)!write(signal_pipe[1], &byte, 1);
}

// Nobody is there to answer: each modal popup is cancelled, as Esc would, and so is any that the
// quit's path opens after it.
void CancelPopups() {
    auto* timer = new QTimer(QApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->reject();
        }
    });
    timer->start(POPUP_CLOSE_MS);
}

void Ended() {
    char byte = 0;
    if (read(signal_pipe[0], &byte, 1) != 1) {
        return;
    }
    TheSessionEnd().notifier->setEnabled(false);
    surge_log::Write("stop", "signal " + std::to_string(static_cast<int>(byte)) +
                                 ": the station ends as a quit would");
    CancelPopups();
    PostDeferredCall(TheSessionEnd().function, TheSessionEnd().data);
}

}  // namespace

int SetSessionEndCallback(DeferredCallbackPtr function, void* data) {
    SessionEnd& s = TheSessionEnd();
    if (function == nullptr || QApplication::instance() == nullptr) {
        return -1;
    }
    s.function = function;
    s.data = data;
    if (s.notifier != nullptr) {
        return 0;
    }
    if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    s.notifier =
        new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, QApplication::instance());
    QObject::connect(s.notifier, &QSocketNotifier::activated, [] { Ended(); });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : SIGNALS) {
        sigaction(number, &action, nullptr);
    }
    return 0;
}
