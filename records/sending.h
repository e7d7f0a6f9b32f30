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
    int refused = 0;      // set aside in `refused`; of the audit rows, 1 at the row that stopped
    qlonglong refused_at = 0;  // the audit row that stopped the batch
    QString message;           // the server's words on the last record or row it refused
};

// Sends the oldest records of the local table `queue` ("outbox", or "refused" to try the refused
// again), up to `batch` of them, in one transaction on the server, and once the server has
// committed, takes them out of `queue`, setting aside those it refused. Records the server holds
// already (a lost acknowledgement, the backlog of an older file) are only looked up, not sent.
// Each is sent with the columns a server of layout `version` has. `stopping` cuts the batch short
// (the station's shutdown).
Sent SendQueued(QSqlDatabase& local, QSqlDatabase& server, int version, const char* queue,
                int batch, const std::atomic<bool>& stopping);

// The same for the audit trail: the oldest rows of `audit_outbox`, in seq order, in one
// transaction that also moves each station's `audit_head` forward to the newest of its rows the
// server holds now. A row the server holds already is kept once. The first row the server does not
// take (one whose seq it holds with another hash, one that does not follow its head, one its
// database cannot hold) stops the batch there: it and the rows after it stay queued.
Sent SendAuditQueued(QSqlDatabase& local, QSqlDatabase& server, int version, int batch,
                     const std::atomic<bool>& stopping);

// The same for the wave's features computed for the records kept before (`wave_features`), to a
// server of FEATURES_LAYOUT or later: rows of their own by the record's station and uuid, from
// `wave_outbox`, each kept once; those the server refuses set aside in `wave_refused`.
Sent SendFeaturesQueued(QSqlDatabase& local, QSqlDatabase& server, int batch,
                        const std::atomic<bool>& stopping);

}  // namespace records
