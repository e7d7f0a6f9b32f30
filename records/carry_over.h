// Carrying a damaged file's records into the new file that took its place: whatever can still be
// read, a chunk at a time, so that the station need not wait for a large file. Each record keeps
// its uuid and times and is queued for the server again (the server keeps it once).
#pragma once

#include <QString>
#include <optional>
#include <utility>

#include "records/database.h"

namespace records {

class CarryOver {
  public:
    // Reads `damaged` (the file as it was set aside) through a connection of its own.
    explicit CarryOver(const QString& damaged);
    ~CarryOver();
    CarryOver(const CarryOver&) = delete;
    CarryOver& operator=(const CarryOver&) = delete;

    // Copies up to `chunk` more records into `into`; false once there is nothing more to read.
    // A part that cannot be read is passed over.
    bool Step(Database* into, int chunk);
    long long Carried() const { return carried_; }
    // Where the damaged file's records' chain ended, when it can be read: the new file's chain
    // goes on from there (Database::ContinueChain), and the records carried keep their places.
    // Otherwise they come over as new records of the new file's chain.
    const std::optional<std::pair<qlonglong, QString>>& ChainEnd() const { return chain_end_; }

  private:
    QString connection_;
    QString columns_;  // the stored columns as the damaged file has them, NULL for those it lacks
    QString from_;     // the view of its records as stored
    std::optional<std::pair<qlonglong, QString>> chain_end_;
    long long after_ = 0;     // the last id read or passed over
    long long last_id_ = -1;  // the file's highest id, -1 before it is known
    long long carried_ = 0;
    bool open_ = false;
    bool finished_ = false;
};

// Carries the users, the settings last read well and the audit trail (each row as it was, so the
// chain goes on, queued for the server again) of the damaged file into `into`, whatever of them
// can be read; false when the damaged file cannot be opened at all.
bool CarryTrail(const QString& damaged, Database* into);

}  // namespace records
