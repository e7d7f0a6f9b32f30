// Carrying a damaged file's records into the new file that took its place: whatever can still be
// read, a chunk at a time, so that the station need not wait for a large file. Each record keeps
// its uuid and times and is queued for the server again (the server keeps it once).
#pragma once

#include <QString>

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

  private:
    QString connection_;
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
