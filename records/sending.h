// Sending records to the plant's server: a batch at a time, each record on its own, so that one
// the server refuses (a value its database cannot hold, a constraint of its own) never holds the
// others back; it is set aside with the server's message.
#pragma once

#include <QString>
#include <atomic>

class QSqlDatabase;

namespace records {

struct Sent {
    bool failed = false;  // the link failed: nothing of the batch counts as sent
    int sent = 0;         // on the server now (sent, or found there already)
    int refused = 0;      // set aside in `refused`
    QString message;      // the server's words on the last record it refused
};

// Sends the oldest records of the local table `queue` ("outbox", or "refused" to try the refused
// again), up to `batch` of them, in one transaction on the server, and once the server has
// committed, takes them out of `queue`, setting aside those it refused. Records the server holds
// already (a lost acknowledgement, the backlog of an older file) are only looked up, not sent.
// `stopping` cuts the batch short (the station's shutdown).
Sent SendQueued(QSqlDatabase& local, QSqlDatabase& server, const char* queue, int batch,
                const std::atomic<bool>& stopping);

}  // namespace records
