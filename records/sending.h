// Sending records and audit rows to the plant's server: a batch at a time, each on its own, so that
// one the server refuses (a value its database cannot hold, a constraint of its own) never holds
// the others back; it is set aside with the server's message.
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

// The same for the audit trail: the oldest rows of `queue` ("audit_outbox", or "audit_refused"),
// in seq order, in one transaction that also moves each station's `audit_head` forward to the
// newest of its rows the server holds now. A row the server holds already is kept once; one whose
// seq the server holds with another hash (another station of the same name, a file begun anew) is
// refused, as is one the server cannot hold, and set aside in `audit_refused`.
Sent SendAuditQueued(QSqlDatabase& local, QSqlDatabase& server, const char* queue, int batch,
                     const std::atomic<bool>& stopping);

}  // namespace records
