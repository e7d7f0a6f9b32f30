#include "bench/plant/live.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QUuid>
#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr int STATIONS = 20;
constexpr auto EVERY = std::chrono::milliseconds(1500);

// The newest record each station sent: its serial and when its sending began.
struct Sent {
    std::string serial;
    std::chrono::steady_clock::time_point at;
    bool timed = false;  // its event seen on the first page
};

struct Shared {
    std::mutex mutex;
    std::array<Sent, STATIONS> sent;
    LiveTimes times;
};

std::string StationName(int s) {
    return "ST-" + std::string(s < 9 ? "0" : "") + std::to_string(s + 1);
}

constexpr const char* INSERT =
    "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, model_no, "
    "outcome, stopped_at, standard_wave, measured_wave, operator, master_version, attempt) "
    "VALUES (?, ?, ?, ?, ?, 'MODEL-1', 'MODEL-1', 'O.K', '', ?, ?, 'live', 'live', 1) "
    "ON CONFLICT (station, uuid) DO NOTHING";

void Send(const BenchSetup& setup, int s, int seconds, Shared* shared) {
    const QString login = QStringLiteral("st%1").arg(s + 1, 2, 10, QLatin1Char('0'));
    QSqlDatabase db =
        Connect(setup, QStringLiteral("send%1_%2").arg(s).arg(QUuid::createUuid().toString()),
                login, HomeFile(setup.home, "station-pw"));
    const QByteArray wave(300, '\x40');
    const auto start = std::chrono::steady_clock::now() + s * EVERY / STATIONS;
    for (int n = 0; start + n * EVERY < start + std::chrono::seconds(seconds); ++n) {
        std::this_thread::sleep_until(start + n * EVERY);
        const std::string serial = "LIVE-" + std::to_string(s) + "-" + std::to_string(n);
        const QString now =
            QDateTime::currentDateTime().toOffsetFromUtc(9 * 3600).toString(Qt::ISODateWithMs);
        {
            std::lock_guard lock(shared->mutex);
            shared->sent[s] = {serial, std::chrono::steady_clock::now(), false};
        }
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QLatin1String(INSERT));
        for (const QVariant& value :
             {QVariant(QUuid::createUuid().toString(QUuid::WithoutBraces)),
              QVariant(QString::fromStdString(StationName(s))), QVariant(now), QVariant(now),
              QVariant(QString::fromStdString(serial)), QVariant(wave), QVariant(wave)}) {
            insert.addBindValue(value);
        }
        if (insert.exec() && db.commit()) {
            std::lock_guard lock(shared->mutex);
            ++shared->times.sent;
        } else {
            db.rollback();
        }
    }
}

// The station an event names: `data: {"station":"ST-03"}`.
int EventStation(const std::string& event) {
    const std::size_t at = event.find("\"ST-");
    return at == std::string::npos ? -1 : std::stoi(event.substr(at + 4, 2)) - 1;
}

// A page's table, read again once for the events that came while it read last, as a browser
// whose reads are slower than the events comes to; on the first page, the records awaited timed.
struct Table {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> awaited;
    bool dirty = false;
    bool closed = false;
};

void ReadTable(const BenchSetup& setup, Table* table, Shared* shared) {
    httplib::Client reader("127.0.0.1", setup.plant_port);
    for (;;) {
        std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> awaited;
        {
            std::unique_lock lock(table->mutex);
            table->changed.wait(lock, [table] { return table->dirty || table->closed; });
            if (table->closed) {
                return;
            }
            table->dirty = false;
            awaited.swap(table->awaited);
        }
        const auto answer = reader.Get("/api/line", WithCookie(setup));
        std::lock_guard lock(shared->mutex);
        for (const auto& [serial, at] : awaited) {
            if (answer && answer->body.find("\"" + serial + "\"") != std::string::npos) {
                shared->times.to_line.push_back(MsSince(at));
            }
        }
    }
}

// An event of station `s`: on the first page, its record's time to the event, awaited on the
// table; on every page, the table to read again.
void OnEvent(int page, int s, Table* table, Shared* shared) {
    std::lock_guard lock(table->mutex);
    table->dirty = true;
    if (page == 0) {
        std::lock_guard sent_lock(shared->mutex);
        Sent& sent = shared->sent[s];
        if (!sent.timed && !sent.serial.empty()) {
            sent.timed = true;
            shared->times.to_event.push_back(MsSince(sent.at));
            table->awaited.emplace_back(sent.serial, sent.at);
        }
    }
    table->changed.notify_one();
}

// A page of 라인 현황: its HTML, its table, then its event stream until the client is stopped.
void OpenPage(const BenchSetup& setup, int page, httplib::Client* stream, Shared* shared) {
    httplib::Client first("127.0.0.1", setup.plant_port);
    first.Get("/line", WithCookie(setup));
    first.Get("/api/line", WithCookie(setup));
    Table table;
    std::thread reader(ReadTable, std::cref(setup), &table, shared);
    std::string pending;
    stream->Get("/api/events", WithCookie(setup), [&](const char* data, std::size_t size) {
        pending.append(data, size);
        for (std::size_t end; (end = pending.find("\n\n")) != std::string::npos;) {
            const int s = EventStation(pending.substr(0, end));
            pending.erase(0, end + 2);
            if (s >= 0 && s < STATIONS) {
                OnEvent(page, s, &table, shared);
            }
        }
        return true;
    });
    {
        std::lock_guard lock(table.mutex);
        table.closed = true;
    }
    table.changed.notify_one();
    reader.join();
}

}  // namespace

LiveTimes RunLive(const BenchSetup& setup, int pages, int seconds) {
    Shared shared;
    std::vector<std::unique_ptr<httplib::Client>> streams;
    std::vector<std::thread> threads;
    for (int p = 0; p < pages; ++p) {
        streams.push_back(std::make_unique<httplib::Client>("127.0.0.1", setup.plant_port));
        streams.back()->set_read_timeout(60);
        threads.emplace_back(OpenPage, std::cref(setup), p, streams.back().get(), &shared);
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<std::thread> senders;
    for (int s = 0; s < STATIONS; ++s) {
        senders.emplace_back(Send, std::cref(setup), s, seconds, &shared);
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds / 2));
    shared.times.rss_mb = ServiceMemoryMb(setup.plant_pid, "VmRSS");
    for (std::thread& sender : senders) {
        sender.join();
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    for (auto& stream : streams) {
        stream->stop();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return shared.times;
}
