#include "history/counts.h"

#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

namespace history {

namespace {

QString Quoted(Outcome outcome) {
    return QStringLiteral("'%1'").arg(QLatin1String(Outcome_text(outcome)));
}

}  // namespace

QString CountsColumns() {
    const QString ok = Quoted(Outcome::OK);
    const QString ng = Quoted(Outcome::NG);
    return QStringLiteral(
               "COUNT(CASE WHEN outcome IN (%1, %2) THEN 1 END),"
               " COUNT(CASE WHEN outcome = %1 THEN 1 END), COUNT(CASE WHEN outcome = %2 THEN 1 "
               "END)")
        .arg(ok, ng);
}

Counts CountsAt(const QSqlQuery& query, int first) {
    return {query.value(first).toLongLong(), query.value(first + 1).toLongLong(),
            query.value(first + 2).toLongLong()};
}

void CountCycle(Outcome outcome, Counts* counts) {
    if (outcome == Outcome::OK) {
        ++counts->tested;
        ++counts->ok;
    } else if (outcome == Outcome::NG) {
        ++counts->tested;
        ++counts->ng;
    }
}

std::string YieldText(const Counts& counts) {
    if (counts.tested == 0) {
        return "-";
    }
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%",
                  100.0 * static_cast<double>(counts.ok) / static_cast<double>(counts.tested));
    return text;
}

}  // namespace history
