// The engine: the application object, the event loop, callback dispatch, deferred calls and
// Delay.
#include <QApplication>
#include <QEventLoop>
#include <QFont>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <chrono>
#include <climits>
#include <clocale>
#include <deque>
#include <functional>
#include <map>
#include <thread>
#include <utility>

#include "toolkit/internal.h"

using namespace toolkit_internal;

namespace {

struct EngineState {
    // The application object outlives every static; CloseRuntimeEngine ends it in order.
    ~EngineState() { (void)app.release(); }

    int argc = 0;
    std::unique_ptr<QApplication> app;
    std::map<std::string, CtrlCallbackPtr> callbacks;
    std::deque<std::pair<DeferredCallbackPtr, void*>> deferred;
    int callback_depth = 0;
    int held_delivery = 0;  // > 0 while the input held during a callback is delivered
    bool quit_requested = false;
    int quit_code = 0;
    std::vector<double> requested_delays;
};

EngineState& Engine() {
    static EngineState instance;
    return instance;
}

// The longest the delivery of held input may take: a barcode read is a few hundred keys.
constexpr int HELD_INPUT_MS = 2000;

void RunDeferred() {
    EngineState& e = Engine();
    while (e.callback_depth == 0 && e.held_delivery == 0 && !e.deferred.empty()) {
        auto [function, data] = e.deferred.front();
        e.deferred.pop_front();
        ++e.callback_depth;
        function(data);
        --e.callback_depth;
    }
}

// The offscreen platform of the tests says at every panel shown that it cannot raise windows.
QtMessageHandler default_message_handler = nullptr;
void QuietMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) {
        return;
    }
    default_message_handler(type, context, text);
}

}  // namespace

int InitRuntimeEngine(int argc, char** argv) {
    EngineState& e = Engine();
    if (QApplication::instance() != nullptr) {
        return 1;
    }
    e.argc = argc;
    if (default_message_handler == nullptr) {
        default_message_handler = qInstallMessageHandler(QuietMessageHandler);
    }
    e.app = std::make_unique<QApplication>(e.argc, argv);
    // The application object takes the user's locale; the station's files and readings always
    // write the decimal point as a point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    // The file dialog and the standard buttons speak the operator's Korean.
    auto* korean = new QTranslator(e.app.get());
    if (korean->load(QStringLiteral("qtbase_ko"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(korean);
    }
    QApplication::setFont(QFont(QStringLiteral("NanumGothic"), 11));
    return 1;
}

void CloseRuntimeEngine() {
    Engine().app.reset();
}

int RegisterCallback(const char* name, CtrlCallbackPtr function) {
    if (name == nullptr || function == nullptr) {
        return -1;
    }
    Engine().callbacks[name] = function;
    return 0;
}

int RunUserInterface() {
    EngineState& e = Engine();
    if (QApplication::instance() == nullptr) {
        return -1;
    }
    if (!e.quit_requested) {
        QApplication::exec();
    }
    e.quit_requested = false;
    return e.quit_code;
}

int QuitUserInterface(int returnCode) {
    EngineState& e = Engine();
    e.quit_requested = true;
    e.quit_code = returnCode;
    QCoreApplication::exit(returnCode);
    return 0;
}

int PostDeferredCall(DeferredCallbackPtr function, void* data) {
    if (function == nullptr) {
        return -1;
    }
    EngineState& e = Engine();
    e.deferred.emplace_back(function, data);
    if (QCoreApplication::instance() != nullptr) {
        QTimer::singleShot(0, QCoreApplication::instance(), [] { RunDeferred(); });
    }
    return 0;
}

void ProcessDrawEvents() {
    RepaintPanels();
}

void Delay(double seconds) {
    Engine().requested_delays.push_back(seconds);
    if (seconds <= 0) {
        RepaintPanels();
        return;
    }
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds));
    if (QCoreApplication::instance() == nullptr) {
        std::this_thread::sleep_until(end);
        return;
    }
    // The event loop repaints the panels until shortly before the end; the timer's whole
    // milliseconds would overshoot it, so the last stretch is slept to the exact end.
    const double loop_ms = std::min(seconds * 1000.0 - 2.0, static_cast<double>(INT_MAX));
    if (loop_ms >= 1.0) {
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(loop_ms));
        MarkInputHeld();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // A nested loop can be left early by an application-wide exit; the wait still holds.
    std::this_thread::sleep_until(end);
}

namespace toolkit_internal {

bool InCallback() {
    return Engine().callback_depth > 0;
}

void RunAsCallback(DeferredCallbackPtr function, void* data) {
    EngineState& e = Engine();
    ++e.callback_depth;
    function(data);
    --e.callback_depth;
    RunDeferred();
}

CtrlCallbackPtr FindCallback(const std::string& name) {
    auto it = Engine().callbacks.find(name);
    return it == Engine().callbacks.end() ? nullptr : it->second;
}

std::vector<double>& RequestedDelays() {
    return Engine().requested_delays;
}

void RunDeferredCalls() {
    RunDeferred();
}

std::function<void()>& InjectedHeldInput() {
    static std::function<void()> instance;
    return instance;
}

bool DeliveringHeldInput() {
    return Engine().held_delivery > 0;
}

void DeliverHeldInput() {
    EngineState& e = Engine();
    ++e.held_delivery;
    QCoreApplication::processEvents(QEventLoop::AllEvents, HELD_INPUT_MS);
    if (InjectedHeldInput()) {
        const std::function<void()> input = std::exchange(InjectedHeldInput(), nullptr);
        input();
    }
    --e.held_delivery;
}

void Dispatch(int panel, int control, int event, int eventData1) {
    EngineState& e = Engine();
    if (e.callback_depth > 0) {
        return;
    }
    if (event == EVENT_COMMIT) {
        CommitPendingEdits(panel);
    }
    Control* c = FindControl(panel, control);
    if (c == nullptr || c->callback == nullptr) {
        return;
    }
    if (event == EVENT_COMMIT) {
        c->dirty = false;
    }
    TakeInputHeld();
    ++e.callback_depth;
    c->callback(panel, control, event, nullptr, eventData1, 0);
    --e.callback_depth;
    if (TakeInputHeld()) {
        DeliverHeldInput();
    }
    RunDeferred();
}

void CommitPendingEdits(int panel) {
    Panel* p = FindPanel(panel);
    if (p == nullptr) {
        return;
    }
    std::vector<int> pending;
    for (auto& [id, c] : p->controls) {
        if (c.dirty && c.callback != nullptr) {
            pending.push_back(id);
        }
    }
    for (int id : pending) {
        Control* c = FindControl(panel, id);
        if (c == nullptr) {
            continue;
        }
        c->dirty = false;
        ++Engine().callback_depth;
        c->callback(panel, id, EVENT_COMMIT, nullptr, 0, 0);
        --Engine().callback_depth;
    }
}

}  // namespace toolkit_internal
