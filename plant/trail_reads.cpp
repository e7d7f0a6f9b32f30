#include "plant/trail_reads.h"

#include <QSqlQuery>
#include <QVariant>
#include <iterator>

#include "trail/digest.h"
#include "trail/plant_layout.h"

namespace plant {

namespace {

constexpr const char* STATION_COLUMNS =
    "seq, at, user_name, role, action, object, before_value, after_value, reason, code";
constexpr const char* PLANT_COLUMNS =
    "seq, at, user_name, '', action, object, before_value, after_value, '', '', prev_hash, hash";

std::string Text(const QSqlQuery& query, int column) {
    return query.value(column).toString().toStdString();
}

trail::AuditRow RowOf(const QSqlQuery& query) {
    trail::AuditRow row;
    row.seq = query.value(0).toLongLong();
    std::string* fields[] = {&row.at,     &row.user,  &row.role,   &row.action, &row.object,
                             &row.before, &row.after, &row.reason, &row.code};
    for (int i = 0; i < static_cast<int>(std::size(fields)); ++i) {
        *fields[i] = Text(query, i + 1);
    }
    return row;
}

// " AND at >= ? AND at < ?" for the bounds given, bound in order after the others.
QString PeriodSql(const Period& period) {
    return QString(period.from.empty() ? "" : " AND at >= ?") +
           (period.to.empty() ? "" : " AND at < ?");
}

void BindPeriod(QSqlQuery& query, const Period& period) {
    for (const std::string* bound : {&period.from, &period.to}) {
        if (!bound->empty()) {
            query.addBindValue(QString::fromStdString(*bound));
        }
    }
}

// The count and the rows of `table`'s `where` (bound with `first`, unless empty) in the period.
std::optional<TrailPage> ReadPage(QSqlDatabase& db, const QString& table, const QString& columns,
                                  const QString& where, const std::string& first,
                                  const Period& period, long long offset, long long limit) {
    TrailPage page;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const QString filter = " FROM " + table + " WHERE " + where + PeriodSql(period);
    for (const bool counting : {true, false}) {
        query.prepare(counting ? "SELECT COUNT(*)" + filter
                               : QStringLiteral("SELECT %1%2 ORDER BY seq DESC LIMIT %3 OFFSET %4")
                                     .arg(columns, filter)
                                     .arg(limit)
                                     .arg(offset));
        if (!first.empty()) {
            query.addBindValue(QString::fromStdString(first));
        }
        BindPeriod(query, period);
        if (!query.exec()) {
            return std::nullopt;
        }
        while (query.next()) {
            if (counting) {
                page.total = query.value(0).toLongLong();
            } else {
                page.rows.push_back(RowOf(query));
            }
        }
    }
    return page;
}

// The plant's trail oldest first, as its chain is checked.
trail::TrailCheck CheckPlantTrail(QSqlDatabase& db) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM plant_trail ORDER BY seq").arg(PLANT_COLUMNS))) {
        return {trail::TrailVerdict::UNREADABLE, "cannot read the plant's trail"};
    }
    std::vector<trail::AuditRow> rows;
    std::vector<std::string> computed;
    while (query.next()) {
        trail::AuditRow row = RowOf(query);
        row.prev_hash = Text(query, 10);
        row.hash = Text(query, 11);
        computed.push_back(trail::Sha256Hex(trail::PlantTrailText(row)));
        rows.push_back(std::move(row));
    }
    if (const auto broken = trail::FirstBreak(rows, computed)) {
        const long long seq = rows[broken->index].seq;
        return {trail::TrailVerdict::BROKEN,
                "seq " + std::to_string(seq) + " does not hold: " + broken->why, seq};
    }
    return {trail::TrailVerdict::HOLDS,
            "the chain holds: " + std::to_string(rows.size()) + " rows"};
}

}  // namespace

bool ValidBound(const std::string& bound) {
    const std::string form = "0000-00-00T00:00";
    if (!bound.empty() && bound.size() != 10 && bound.size() != form.size()) {
        return false;
    }
    for (std::size_t i = 0; i < bound.size(); ++i) {
        const bool digit = bound[i] >= '0' && bound[i] <= '9';
        if (form[i] == '0' ? !digit : bound[i] != form[i]) {
            return false;
        }
    }
    return true;
}

std::optional<std::vector<std::string>> ReadTrailStations(QSqlDatabase& db) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT DISTINCT station FROM audit ORDER BY station"))) {
        return std::nullopt;
    }
    std::vector<std::string> stations;
    while (query.next()) {
        stations.push_back(Text(query, 0));
    }
    return stations;
}

std::optional<TrailPage> ReadTrailPage(QSqlDatabase& db, const std::string& station,
                                       const Period& period, long long offset, long long limit) {
    return ReadPage(db, QStringLiteral("audit"), QString::fromLatin1(STATION_COLUMNS),
                    QStringLiteral("station = ?"), station, period, offset, limit);
}

std::optional<PlantTrail> ReadPlantTrail(QSqlDatabase& db, long long limit) {
    std::optional<TrailPage> page =
        ReadPage(db, QStringLiteral("plant_trail"), QString::fromLatin1(PLANT_COLUMNS),
                 QStringLiteral("true"), "", Period{}, 0, limit);
    if (!page) {
        return std::nullopt;
    }
    return PlantTrail{std::move(*page), CheckPlantTrail(db)};
}

}  // namespace plant
