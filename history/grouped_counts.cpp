#include "history/grouped_counts.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "history/counts.h"
#include "history/filter_sql.h"
#include "history/history_query.h"

namespace history {

namespace {

struct Keys {
    QString station;
    QString key;
    QVariantList values;  // the key's, bound before the filter's
};

Keys KeysOf(const Grouping& grouping) {
    Keys keys{grouping.per_station ? QStringLiteral("station") : QStringLiteral("''"), {}, {}};
    switch (grouping.key) {
        case Grouping::Key::STATION:
            keys.key = QStringLiteral("station");
            break;
        case Grouping::Key::MASTER:
            keys.key = QStringLiteral("master");
            break;
        case Grouping::Key::DAY:
            keys.key = QStringLiteral("substr(started_at, 1, 10)");
            break;
        case Grouping::Key::SLOT:
            if (grouping.bounds.empty()) {
                keys.key = QStringLiteral("'0'");
                break;
            }
            keys.key = QStringLiteral("CASE");
            for (std::size_t slot = 0; slot < grouping.bounds.size(); ++slot) {
                keys.key += QStringLiteral(" WHEN started_at < ? THEN '%1'").arg(slot);
                keys.values << QString::fromStdString(grouping.bounds[slot]);
            }
            keys.key += QStringLiteral(" ELSE '%1' END").arg(grouping.bounds.size());
            break;
    }
    return keys;
}

using Found = std::map<std::pair<std::string, std::string>, GroupCounts>;

GroupCounts& At(Found* found, const QSqlQuery& query) {
    const std::string station = query.value(0).toString().toStdString();
    const std::string key = query.value(1).toString().toStdString();
    GroupCounts& group = (*found)[{station, key}];
    group.station = station;
    group.key = key;
    return group;
}

bool Read(const Reader& reader, const QString& sql, const QVariantList& values,
          const std::function<void(const QSqlQuery&)>& row) {
    QSqlQuery query(ReaderDatabase(reader));
    if (!PrepareRead(&query, sql, values) || !query.exec()) {
        return false;
    }
    while (query.next()) {
        row(query);
    }
    return query.lastError().type() == QSqlError::NoError;
}

}  // namespace

bool CountGroupRecords(const Reader& reader, const Filter& filter, const Grouping& grouping,
                       std::vector<GroupCounts>* groups, std::vector<std::string>* stations) {
    groups->clear();
    stations->clear();
    FilterSql where;
    if (!FilterWhere(reader, filter, &where)) {
        return false;
    }
    const Keys keys = KeysOf(grouping);
    Found found;
    std::set<std::string> tested_at;
    // The records by station as well, a few rows more, to name the stations that tested.
    const QString sql =
        QStringLiteral("SELECT %1, %2, station, %3 FROM inspection WHERE %4 GROUP BY 1, 2, 3")
            .arg(keys.station, keys.key, CountsColumns(), where.sql);
    const auto add = [&found, &tested_at](const QSqlQuery& query) {
        const Counts counts = CountsAt(query, 3);
        AddCounts(counts, &At(&found, query).counts);
        if (counts.tested > 0) {
            tested_at.insert(query.value(2).toString().toStdString());
        }
    };
    if (!Read(reader, sql, keys.values + where.values, add)) {
        return false;
    }
    for (auto& [name, group] : found) {
        groups->push_back(std::move(group));
    }
    stations->assign(tested_at.begin(), tested_at.end());
    return true;
}

bool CountGroupUnits(const Reader& reader, const Filter& filter, const Grouping& grouping,
                     std::vector<GroupCounts>* groups) {
    groups->clear();
    FilterSql where;
    if (!FilterWhere(reader, filter, &where)) {
        return false;
    }
    const Keys keys = KeysOf(grouping);
    Found found;
    const auto add = [&found](const QSqlQuery& query) {
        At(&found, query).units = {query.value(2).toLongLong(), query.value(3).toLongLong(),
                                   query.value(4).toLongLong()};
    };
    if (!Read(reader, GroupedUnitCountsQuery(keys.station, keys.key, where.sql),
              keys.values + where.values, add)) {
        return false;
    }
    for (auto& [name, group] : found) {
        groups->push_back(std::move(group));
    }
    return true;
}

}  // namespace history
