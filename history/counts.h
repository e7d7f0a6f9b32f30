// What the history counts, defined once for the main panel's strip and the history panel: a unit
// is tested when its cycle gave a verdict (O.K or N.G; an incomplete cycle tested nothing), and
// the yield (양품률) is O.K over tested.
#pragma once

#include <QString>
#include <string>

#include "history/basics.h"
#include "values/outcome.h"

class QSqlQuery;

namespace history {

// The counts as a select list over `inspection`: tested, O.K, N.G.
QString CountsColumns();
// The counts in the row of `query` from column `first` on, as CountsColumns() gave them.
Counts CountsAt(const QSqlQuery& query, int first);
// Counts one finished cycle.
void CountCycle(Outcome outcome, Counts* counts);
// "97.5 %", or "-" before the first unit.
std::string YieldText(const Counts& counts);

}  // namespace history
