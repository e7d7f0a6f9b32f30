#include "history/counts.h"

#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

namespace history {

namespace {

QString Quoted(Outcome outcome) {
    return QStringLiteral("'%1'").arg(QLatin1String(Outcome_text(outcome)));
}

std::string Percent(long long part, long long whole) {
    if (whole == 0) {
        return "-";
    }
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%",
                  100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

// Per unit (a serial, or a record without one; within each group of `keys` when they are given,
// as the select list's first two columns): its last test in the records `where` picks is
// O.K, it passed after an N.G, its tests, its last test's time. Grouping by the times of its
// O.K and N.G tests needs one walk and no ordering within a unit; where an O.K and an N.G share
// their time the unit counts as neither final O.K nor passed on retest.
QString Units(const QString& where, const QString& keys = {}) {
    return QStringLiteral(
               "SELECT %6serial AS unit_serial,"
               " CASE WHEN MAX(CASE WHEN outcome = %1 THEN started_at END) >"
               " COALESCE(MAX(CASE WHEN outcome = %2 THEN started_at END), '') THEN 1 ELSE 0 END"
               " AS final_ok,"
               " CASE WHEN MAX(CASE WHEN outcome = %1 THEN started_at END) >"
               " MIN(CASE WHEN outcome = %2 THEN started_at END) THEN 1 ELSE 0 END AS retest_ok,"
               " COUNT(*) AS tests, MAX(started_at) AS last_at FROM inspection"
               " WHERE (%3) AND %4 AND %5"
               " GROUP BY %7serial, CASE WHEN serial = '' THEN id ELSE 0 END")
        .arg(Quoted(Outcome::OK), Quoted(Outcome::NG), where, ProductionCondition(),
             TestCondition(), keys.isEmpty() ? QString() : keys + QStringLiteral(", "),
             keys.isEmpty() ? QString() : QStringLiteral("1, 2, "));
}

}  // namespace

QString ProductionCondition() {
    return QStringLiteral("reference = 0");
}

QString TestCondition() {
    return QStringLiteral("outcome IN (%1, %2)").arg(Quoted(Outcome::OK), Quoted(Outcome::NG));
}

// Each condition leads with the outcome, which decides most rows at once; the tests and first
// attempts are the sums of their O.K and N.G.
QString CountsColumns() {
    const QString ok = Quoted(Outcome::OK);
    const QString ng = Quoted(Outcome::NG);
    const QString production = ProductionCondition();
    return QStringLiteral(
               "COUNT(CASE WHEN outcome = %1 AND %3 THEN 1 END),"
               " COUNT(CASE WHEN outcome = %2 AND %3 THEN 1 END),"
               " COUNT(CASE WHEN outcome = %1 AND attempt = 1 AND %3 THEN 1 END),"
               " COUNT(CASE WHEN outcome = %2 AND attempt = 1 AND %3 THEN 1 END)")
        .arg(ok, ng, production);
}

Counts CountsAt(const QSqlQuery& query, int first) {
    const long long ok = query.value(first).toLongLong();
    const long long ng = query.value(first + 1).toLongLong();
    const long long first_ok = query.value(first + 2).toLongLong();
    const long long first_ng = query.value(first + 3).toLongLong();
    return {ok + ng, ok, ng, first_ok + first_ng, first_ok};
}

void CountCycle(const Inspection& inspection, Counts* counts) {
    const bool test = inspection.outcome == Outcome::OK || inspection.outcome == Outcome::NG;
    if (!test || inspection.reference) {
        return;
    }
    const bool ok = inspection.outcome == Outcome::OK;
    ++counts->tested;
    ++(ok ? counts->ok : counts->ng);
    if (inspection.attempt == 1) {
        ++counts->first;
        counts->first_ok += ok ? 1 : 0;
    }
}

void AddCounts(const Counts& counts, Counts* sum) {
    *sum = {sum->tested + counts.tested, sum->ok + counts.ok, sum->ng + counts.ng,
            sum->first + counts.first, sum->first_ok + counts.first_ok};
}

QString UnitCountsQuery(const QString& where) {
    return QStringLiteral(
               "SELECT COUNT(*), COALESCE(SUM(final_ok), 0), COALESCE(SUM(retest_ok), 0) FROM "
               "(%1) AS units")
        .arg(Units(where));
}

QString GroupedUnitCountsQuery(const QString& station, const QString& key, const QString& where) {
    const QString keys =
        station + QStringLiteral(" AS group_station, ") + key + QStringLiteral(" AS group_key");
    return QStringLiteral(
               "SELECT group_station, group_key, COUNT(*), COALESCE(SUM(final_ok), 0),"
               " COALESCE(SUM(retest_ok), 0) FROM (%1) AS units GROUP BY 1, 2")
        .arg(Units(where, keys));
}

QString PassedOnRetestQuery(const QString& where) {
    return QStringLiteral(
               "SELECT unit_serial, tests, last_at FROM (%1) AS units WHERE retest_ok = 1"
               " ORDER BY last_at DESC")
        .arg(Units(where));
}

std::string YieldText(const Counts& counts) {
    return Percent(counts.ok, counts.tested);
}

std::string FirstPassText(const Counts& counts) {
    return Percent(counts.first_ok, counts.first);
}

std::string FinalYieldText(const UnitCounts& units) {
    return Percent(units.final_ok, units.units);
}

}  // namespace history
