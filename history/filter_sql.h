// The history reader's filter as SQL, for the reads beside the panel's own (process_query.cpp).
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace history {

struct Filter;
struct Reader;

struct FilterSql {
    QString sql;  // a condition on `inspection`, "?" for each value
    QVariantList values;
    QString from, to;  // the period's bounds as texts of local time: from <= started_at < to
};

// The filter's period as texts of local time, from <= started_at < to; false when it is no
// period (a day that is no date, reversed bounds).
bool FilterPeriod(const Filter& filter, QString* from, QString* to);
// False when the filter's period is no period. The SQL is the one `reader` reads.
bool FilterWhere(const Reader& reader, const Filter& filter, FilterSql* where);
// The connection OpenReader or OpenHistoryReader opened for `reader`.
QSqlDatabase ReaderDatabase(const Reader& reader);
// A forward-only query prepared on `sql` with `values` bound in order.
bool PrepareRead(QSqlQuery* query, const QString& sql, const QVariantList& values);

}  // namespace history
