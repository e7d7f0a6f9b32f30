// The line stops the gates and the drift watch read back from the audit trail: by the chain's
// order and each row's code, never by a row's time or its text; a row out of its chain's time
// order (a time far ahead of the station's clock, or far behind the row before it) is passed over.
#pragma once

#include <QString>
#include <optional>
#include <string>

class QSqlDatabase;

namespace history {

// The newest acknowledgement of a line stop of `master` (of the kind `code`; without one, of any
// kind): its time, as the trail has it. Also a row written before codes were kept acknowledges
// every kind. `station` names the trail on a plant's server.
std::optional<QString> LastAcknowledged(QSqlDatabase& db, const std::string& master,
                                        const char* code = nullptr,
                                        const std::string& station = {});

// The newest line stop of `master` that no acknowledgement followed: its code (empty for a row
// written before codes were kept) and its rule. `station` names the trail on a plant's server,
// which holds every station's.
struct OpenStop {
    std::string code;
    std::string rule;
};
std::optional<OpenStop> LastOpenStop(QSqlDatabase& db, const std::string& master,
                                     const std::string& station = {});

}  // namespace history
