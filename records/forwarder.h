// Store and forward: a thread of its own sends the records of the station's outbox to the plant's
// server and takes them out of the outbox once the server has committed them. The server stores a
// record once by its station and uuid, so a record sent again (its acknowledgement lost) is kept
// once; a record the server refuses is set aside (`refused`) and tried again every five minutes.
// The audit trail's queue goes the same way, after the records of each round.
// Nothing here runs on the inspection's path: a server that is down, slow or unreachable only lets
// the outbox grow.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <thread>

#include "records/server_config.h"

namespace records {

class Forwarder {
  public:
    // Called on the main thread: the records waiting and those refused, and a warning for the
    // operator (each kind once).
    struct Events {
        std::function<void(long waiting, long refused)> counts;
        std::function<void(const QString& text)> warn;
    };
    Forwarder(const ServerConfig& server, const QString& local_file, Events events);
    // Waits for the thread at most STOP_WAIT_MS: one caught in a network call is left to end on
    // its own, and what it had not sent stays in the outbox.
    ~Forwarder();
    Forwarder(const Forwarder&) = delete;
    Forwarder& operator=(const Forwarder&) = delete;

    static constexpr int STOP_WAIT_MS = 3000;

    // A record was committed to the outbox (and is counted as waiting).
    void Wake();
    // The station's file was set aside and begun anew: the outbox is read from the new one.
    void ReopenLocal();
    // The records the server has not acknowledged; -1 before the outbox was first read.
    long Waiting() const;
    // The records the server refused, set aside.
    long Refused() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace records
