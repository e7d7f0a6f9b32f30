// Today's counts on the main panel's strip: tested, O.K, N.G, the yield, the first-pass yield, and
// whether the history is being recorded.
#pragma once

#include <string>

#include <QDate>

#include "history/counts.h"
#include "history/strip.h"
#include "records/database.h"

namespace history {

// The cycles started on `day` (local time) in the station's file.
records::DbStatus CountDay(records::Database* db, const QDate& day, Counts* counts);
// `disk_full`: the records go into the disk's reserve, and the strip says so in red.
void ShowCounts(const Strip& strip, const Counts& counts, bool recording, bool disk_full = false);
// "전송 대기 12": the records waiting for the server, with "· 거부 3" when it refused some;
// hidden when `waiting` is negative.
void ShowWaiting(const Strip& strip, long waiting, long refused);

}  // namespace history
