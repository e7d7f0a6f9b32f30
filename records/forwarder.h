// Store and forward: a thread of its own sends the records of the station's outbox to the plant's
// server and deletes them from the outbox once the server has committed them. The server stores a
// record once by its station and uuid, so a record sent again (its acknowledgement lost) is kept
// once. Nothing here runs on the inspection's path: a server that is down, slow or unreachable
// only lets the outbox grow.
#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "records/server_config.h"

namespace records {

class Forwarder {
  public:
    // Called on the main thread: the number of records waiting, and a warning for the operator
    // (each kind once).
    struct Events {
        std::function<void(long waiting)> waiting;
        std::function<void(const QString& text)> warn;
    };
    Forwarder(const ServerConfig& server, const QString& local_file, Events events);
    ~Forwarder();
    Forwarder(const Forwarder&) = delete;
    Forwarder& operator=(const Forwarder&) = delete;

    // A record was committed to the outbox (and is counted as waiting).
    void Wake();
    // The station's file was set aside and begun anew: the outbox is read from the new one.
    void ReopenLocal() {
        reopen_local_ = true;
        wake_.notify_all();
    }
    // The records the server has not acknowledged; -1 before the outbox was first read.
    long Waiting() const { return waiting_; }

  private:
    void Run();
    // One round: returns how long to wait before the next; `failed` drops the connections.
    int Pass(bool* linked, bool* failed);
    void Post(std::function<void()> call);
    void PublishWaiting(long waiting);
    void WarnOnce(bool* told, const QString& text);
    bool Sleep(int ms);  // false when stopping

    ServerConfig server_;
    QString local_file_;
    Events events_;
    std::shared_ptr<std::atomic<bool>> alive_;
    std::atomic<long> waiting_{-1};
    std::atomic<bool> reopen_local_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stopping_ = false;
    bool told_refused_ = false;
    bool told_newer_ = false;
    std::thread thread_;
};

}  // namespace records
