// What the history counts, defined once for the main panel's strip, the history panel and the
// shift report:
// - a test is a record with a verdict (O.K or N.G); an incomplete cycle is no test and no attempt;
// - a unit is a serial number; a record without one is a unit of its own;
// - a test's attempt is 1 for its unit's first test within the window of attempts, 2 for its
//   second, and so on (counted at the start of each cycle);
// - production records are those that did not test a reference unit; every count and yield is
//   over them;
// - over a period, 양품률 is O.K tests over tests; 직행률 is the units whose first attempt falls
//   in the period and passed, over those units; 최종 양품률 is the units tested in the period whose
//   last test in it passed, over the units tested; 재검사 합격 is the units tested in the period
//   with an N.G test followed by an O.K one.
#pragma once

#include <QString>
#include <string>

#include "history/basics.h"
#include "values/inspection.h"

class QSqlQuery;

namespace history {

// SQL conditions over `inspection`: a production record, a test.
QString ProductionCondition();
QString TestCondition();
// The counts of production records as a select list over `inspection` (O.K, N.G, and those of
// first attempts), from which CountsAt gives Counts.
QString CountsColumns();
// The counts in the row of `query` from column `first` on, as CountsColumns() gave them.
Counts CountsAt(const QSqlQuery& query, int first);
// Counts one finished cycle.
void CountCycle(const Inspection& inspection, Counts* counts);
// Adds `counts` to `sum`: the counts of two sets of records that share none.
void AddCounts(const Counts& counts, Counts* sum);
// A query over the records that `where` (with its bound values) picks: units, final O.K, passed
// on retest, as UnitCounts; and the same query listing the units passed on retest (serial, its
// tests in the period), newest last test first.
QString UnitCountsQuery(const QString& where);
QString PassedOnRetestQuery(const QString& where);
// UnitCountsQuery's figures per group, each row the group's `station` and `key` (SQL expressions
// over `inspection`, their values bound before the where's) and then its UnitCounts.
QString GroupedUnitCountsQuery(const QString& station, const QString& key, const QString& where);
// "97.5 %", or "-" before the first unit: 양품률, 직행률, 최종 양품률.
std::string YieldText(const Counts& counts);
std::string FirstPassText(const Counts& counts);
std::string FinalYieldText(const UnitCounts& units);

}  // namespace history
