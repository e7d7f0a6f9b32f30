// 라인 현황's reads of the plant's server: each station's newest record, its shift's counts by the
// station's own definitions (history/counts.h), and whether a line stop, a drift or a wave alarm
// holds.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <optional>
#include <string>
#include <vector>

#include "history/basics.h"
#include "history/production.h"
#include "history/trail_reads.h"

namespace plant {

struct StationLine {
    std::string station;
    std::string last_seen;  // when the server received its newest record
    std::string master;     // of its newest record
    std::string serial;
    std::string verdict;
    std::string verdict_at;
    history::Period shift;  // the station's shift at the moment asked; the day without shifts
    history::Counts counts;
    std::optional<history::OpenStop> line_stop;
    std::string drift;        // "추세 경고: 면적 규칙 1"; empty without one
    bool wave_alarm = false;  // the station flagged its newest record's wave
};

// The station's shift starts (minutes after midnight) as its last audited change of them left
// them; none without one.
std::vector<int> ShiftStarts(QSqlDatabase& db, const std::string& station);
// Every station that sent a record, by name; nothing when the server cannot be read.
std::optional<std::vector<StationLine>> ReadLine(QSqlDatabase& db, const QDateTime& now);

}  // namespace plant
