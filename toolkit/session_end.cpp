// The end of the session: SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, a service stopped)
// end the station the way its own quit does, from the event loop, once the running callback has
// returned. The signal handler only writes the signal's number into a pipe that the event loop
// watches; a second signal ends the process at once. A lost X display (the usual logout) gives no
// signal: Qt says so in a warning and exits, and the station's own end runs first.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <string>

#include "log/log.h"
#include "toolkit/popup_script.h"
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
    void (*display_lost)() = nullptr;
    QSocketNotifier* notifier = nullptr;
    QtMessageHandler qt_handler = nullptr;
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

// Nobody is there to answer: a popup the quit's path opens answers itself as a cancel would (the
// toolkit's script, with no answers queued), and one already open is cancelled, as Esc would.
void NobodyToAnswer() {
    toolkit_internal::PopupScript& script = toolkit_internal::CurrentPopupScript();
    script.active = true;
    script.confirm_answers.clear();
    script.file_answers.clear();
    script.prompt_answers.clear();
    script.password_answers.clear();
}

void CancelPopups() {
    NobodyToAnswer();
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

// Qt's xcb platform, its connection to the display broken, warns and calls exit(1): the station
// ends in order first, and with 0, as a logout is no failure.
void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    SessionEnd& s = TheSessionEnd();
    if (s.qt_handler != nullptr) {
        s.qt_handler(type, context, message);
    }
    if (type == QtWarningMsg && message.startsWith(QStringLiteral("The X11 connection broke")) &&
        s.display_lost != nullptr) {
        surge_log::Write("stop", "the display is lost: the station ends as a quit would");
        const auto lost = s.display_lost;
        s.display_lost = nullptr;
        NobodyToAnswer();
        lost();
        std::_Exit(0);
    }
}

}  // namespace

int SetDisplayLostCallback(void (*function)()) {
    SessionEnd& s = TheSessionEnd();
    s.display_lost = function;
    if (s.qt_handler == nullptr) {
        s.qt_handler = qInstallMessageHandler(OnQtMessage);
    }
    return 0;
}

int SetSessionEndCallback(DeferredCallbackPtr function, void* data) {
    SessionEnd& s = TheSessionEnd();
    if (function == nullptr || QApplication::instance() == nullptr) {
        return -1;
    }
    s.function = function;
    s.data = data;
    if (s.notifier != nullptr) {
        signalled = 0;  // a station started anew in this process
        s.notifier->setEnabled(true);
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
