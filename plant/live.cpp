#include "plant/live.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include "plant/connection.h"
#include "plant/json.h"
#include "trail/plant_layout.h"

namespace plant {

namespace {

constexpr std::chrono::seconds KEEP_ALIVE{15};
// How often the listening connection is checked, and opened again when it was lost.
constexpr int CHECK_MS = 2000;

}  // namespace

void Arrivals::Tell(const std::string& station) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++count_;
        station_ = station;
    }
    told_.notify_all();
}

std::uint64_t Arrivals::Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

bool Arrivals::Wait(std::uint64_t* seen, std::string* station, std::chrono::seconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    told_.wait_for(lock, timeout, [&] { return stopped_ || count_ != *seen; });
    if (stopped_ || count_ == *seen) {
        return false;
    }
    *seen = count_;
    *station = station_;
    return true;
}

void Arrivals::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    told_.notify_all();
}

bool Arrivals::Stopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
}

// A thread of Qt's with its own event loop, where the connection's notifications arrive.
struct Listener::Thread final : QThread {
    Thread(const Settings& settings, Arrivals* arrivals) : settings(settings), arrivals(arrivals) {}

    void run() override {
        bool listening = false;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            std::optional<QSqlDatabase> db = ThreadConnection(settings);
            if (listening && db && QSqlQuery(*db).exec(QStringLiteral("SELECT 1"))) {
                return;
            }
            DropThreadConnection();
            listening = Listen();
        });
        listening = Listen();
        check.start(CHECK_MS);
        exec();
        DropThreadConnection();
    }

    bool Listen() {
        std::optional<QSqlDatabase> db = ThreadConnection(settings);
        if (!db || !db->driver()->subscribeToNotification(QLatin1String(trail::RECORD_CHANNEL))) {
            return false;
        }
        QObject::connect(
            db->driver(), &QSqlDriver::notification,
            [this](const QString&, QSqlDriver::NotificationSource, const QVariant& payload) {
                arrivals->Tell(payload.toString().toStdString());
            });
        return true;
    }

    const Settings& settings;
    Arrivals* arrivals;
};

Listener::Listener(const Settings& settings, Arrivals* arrivals)
    : thread_(std::make_unique<Thread>(settings, arrivals)) {}

Listener::~Listener() {
    Stop();
}

void Listener::Start() {
    thread_->start();
}

void Listener::Stop() {
    thread_->quit();
    thread_->wait();
}

void AddEvents(httplib::Server& server, Arrivals* arrivals) {
    server.Get("/api/events", [arrivals](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        auto seen = std::make_shared<std::uint64_t>(arrivals->Count());
        response.set_chunked_content_provider(
            "text/event-stream", [arrivals, seen](size_t, httplib::DataSink& sink) {
                std::string station;
                if (arrivals->Wait(seen.get(), &station, KEEP_ALIVE)) {
                    const std::string event =
                        "event: record\ndata: {\"station\":" + JsonString(station) + "}\n\n";
                    return sink.write(event.data(), event.size());
                }
                if (arrivals->Stopped()) {
                    sink.done();
                    return true;
                }
                return sink.write(": -\n\n", 5);
            });
    });
}

}  // namespace plant
