// The idle watch: a callback once no key or click reached a panel for a while.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <memory>

#include "toolkit/internal.h"

using namespace toolkit_internal;

namespace {

constexpr int BUSY_RETRY_MS = 1000;

class InputWatch : public QObject {
  public:
    InputWatch() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Expire(); });
        qApp->installEventFilter(this);
    }
    ~InputWatch() override {
        if (qApp != nullptr) {
            qApp->removeEventFilter(this);
        }
    }
    InputWatch(const InputWatch&) = delete;
    InputWatch& operator=(const InputWatch&) = delete;

    void Set(int ms, DeferredCallbackPtr function, void* data) {
        ms_ = ms;
        function_ = function;
        data_ = data;
        timer_.start(ms_);
    }

    void Restart() {
        if (function_ != nullptr) {
            timer_.start(ms_);
        }
    }

    // The time is up: the callback, unless one runs now (then it is tried again shortly).
    void Expire() {
        if (function_ == nullptr) {
            return;
        }
        if (InCallback()) {
            timer_.start(BUSY_RETRY_MS);
            return;
        }
        timer_.stop();
        RunAsCallback(function_, data_);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::Wheel:
                Restart();
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QTimer timer_;
    int ms_ = 0;
    DeferredCallbackPtr function_ = nullptr;
    void* data_ = nullptr;
};

std::unique_ptr<InputWatch>& Watch() {
    static auto* watch = new std::unique_ptr<InputWatch>;
    return *watch;
}

}  // namespace

int SetIdleCallback(double seconds, DeferredCallbackPtr function, void* data) {
    if (seconds <= 0 || function == nullptr) {
        Watch().reset();
        return 0;
    }
    if (QCoreApplication::instance() == nullptr) {
        return -1;
    }
    if (!Watch()) {
        Watch() = std::make_unique<InputWatch>();
    }
    Watch()->Set(static_cast<int>(seconds * 1000.0), function, data);
    return 0;
}

namespace toolkit_internal {

void NoteInput() {
    if (Watch()) {
        Watch()->Restart();
    }
}

void ExpireIdle() {
    if (Watch()) {
        Watch()->Expire();
    }
}

}  // namespace toolkit_internal
