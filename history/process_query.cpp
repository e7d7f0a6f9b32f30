#include "history/process_query.h"

#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

#include "history/filter_sql.h"
#include "history/production.h"

namespace history {

namespace {

// A test with both readings: the points of a chart.
const QString TESTED_WITH_READINGS = QStringLiteral(
    "outcome IN ('O.K', 'N.G') AND area IS NOT NULL AND phase IS NOT NULL AND judge IS NOT NULL");

bool HasColumn(const Reader& reader, const QString& column) {
    QSqlQuery query(ReaderDatabase(reader));
    return query.exec(QStringLiteral("SELECT * FROM inspection WHERE 1 = 0")) &&
           query.record().indexOf(column) >= 0;
}

QString Production(const Reader& reader) {
    return QString::fromStdString(
        ProductionCondition(HasColumn(reader, QStringLiteral("reference"))));
}

// The columns a series point is read from; a history without the wave's columns gives NULLs.
QString PointColumns(const Reader& reader) {
    return HasColumn(reader, QStringLiteral("ringing_frequency"))
               ? QStringLiteral(
                     "started_at, area, phase, judge, ringing_frequency, damping, serial")
               : QStringLiteral("started_at, area, phase, judge, NULL, NULL, serial");
}

std::optional<double> Real(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

SeriesPoint PointOf(const QSqlQuery& query) {
    return {SecondsOfWallClock(query.value(0).toString().toStdString()),
            query.value(1).toInt(),
            query.value(2).toInt(),
            query.value(3).toInt(),
            Real(query.value(4)),
            Real(query.value(5)),
            query.value(6).toString().toStdString()};
}

bool ReadFirstTests(const Reader& reader, const std::string& master, const std::string& version,
                    int points, const QString& more, std::vector<SeriesPoint>* baseline) {
    baseline->clear();
    QSqlQuery query(ReaderDatabase(reader));
    if (!PrepareRead(&query,
                     QStringLiteral("SELECT ") + PointColumns(reader) +
                         QStringLiteral(" FROM inspection WHERE master = ? AND master_version = ?"
                                        " AND ") +
                         TESTED_WITH_READINGS + more + QStringLiteral(" AND ") +
                         Production(reader) + QStringLiteral(" ORDER BY started_at, id LIMIT ?"),
                     {QString::fromStdString(master), QString::fromStdString(version), points}) ||
        !query.exec()) {
        return false;
    }
    while (query.next()) {
        baseline->push_back(PointOf(query));
    }
    return query.lastError().type() == QSqlError::NoError;
}

long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

long long SecondsOfWallClock(const std::string& text) {
    const auto digits = [&text](std::size_t at, std::size_t count, int* value) {
        if (at + count > text.size()) {
            return false;
        }
        *value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return false;
            }
            *value = *value * 10 + (text[i] - '0');
        }
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!digits(0, 4, &y) || !digits(5, 2, &mo) || !digits(8, 2, &d) || !digits(11, 2, &h) ||
        !digits(14, 2, &mi) || !digits(17, 2, &s) || mo < 1 || mo > 12 || d < 1 || d > 31) {
        return -1;
    }
    return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
           h * 3600 + mi * 60 + s;
}

std::string WallClockText(long long seconds, const char* format) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[64];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

bool ReadSeries(const Reader& reader, const Filter& filter, std::vector<SeriesPoint>* points,
                std::string* version) {
    points->clear();
    version->clear();
    FilterSql where;
    if (filter.master.empty() || !FilterWhere(reader, filter, &where)) {
        return false;
    }
    const QString condition = where.sql + QStringLiteral(" AND ") + TESTED_WITH_READINGS +
                              QStringLiteral(" AND ") + Production(reader);
    QSqlQuery newest(ReaderDatabase(reader));
    if (!PrepareRead(&newest,
                     QStringLiteral("SELECT master_version FROM inspection WHERE ") + condition +
                         QStringLiteral(" ORDER BY started_at DESC, id DESC LIMIT 1"),
                     where.values) ||
        !newest.exec()) {
        return false;
    }
    if (newest.next()) {
        *version = newest.value(0).toString().toStdString();
    }
    QSqlQuery query(ReaderDatabase(reader));
    if (!PrepareRead(&query,
                     QStringLiteral("SELECT ") + PointColumns(reader) +
                         QStringLiteral(" FROM inspection WHERE ") + condition +
                         QStringLiteral(" ORDER BY started_at, id"),
                     where.values) ||
        !query.exec()) {
        return false;
    }
    while (query.next()) {
        points->push_back(PointOf(query));
    }
    return query.lastError().type() == QSqlError::NoError;
}

bool ReadBaseline(const Reader& reader, const std::string& master, const std::string& version,
                  int points, std::vector<SeriesPoint>* baseline) {
    return ReadFirstTests(reader, master, version, points, QString(), baseline);
}

bool ReadWaveBaseline(const Reader& reader, const std::string& master, const std::string& version,
                      int points, std::vector<SeriesPoint>* baseline) {
    if (!HasColumn(reader, QStringLiteral("ringing_frequency"))) {
        baseline->clear();
        return true;
    }
    return ReadFirstTests(reader, master, version, points,
                          QStringLiteral(" AND ringing_frequency IS NOT NULL"), baseline);
}

// One walk over the period's N.G records, kept once, then counted four ways by the database: a
// unit counts once in each bar it failed under.
bool ReadPareto(const Reader& reader, const Filter& filter, Pareto* pareto) {
    *pareto = {};
    FilterSql where;
    if (!FilterWhere(reader, filter, &where)) {
        return false;
    }
    const QString by = QStringLiteral("SELECT %1, %2, COUNT(DISTINCT unit) FROM ng GROUP BY %2");
    QSqlQuery query(ReaderDatabase(reader));
    if (!PrepareRead(&query,
                     QStringLiteral("WITH ng AS MATERIALIZED (SELECT master, station,"
                                    " substr(started_at, 12, 2) AS hour, operator, CASE serial"
                                    " WHEN '' THEN '#' || id ELSE serial END AS unit FROM"
                                    " inspection WHERE ") +
                         where.sql + QStringLiteral(" AND outcome = 'N.G' AND ") +
                         Production(reader) + QStringLiteral(") ") +
                         by.arg(0).arg(QStringLiteral("master")) + QStringLiteral(" UNION ALL ") +
                         by.arg(1).arg(QStringLiteral("station")) + QStringLiteral(" UNION ALL ") +
                         by.arg(2).arg(QStringLiteral("hour")) + QStringLiteral(" UNION ALL ") +
                         by.arg(3).arg(QStringLiteral("operator")) +
                         QStringLiteral(" UNION ALL SELECT 4, '', COUNT(DISTINCT unit) FROM ng"),
                     where.values) ||
        !query.exec()) {
        return false;
    }
    while (query.next()) {
        const int kind = query.value(0).toInt();
        const long long units = query.value(2).toLongLong();
        if (kind == 4) {
            pareto->ng_units = units;
            continue;
        }
        std::string label = query.value(1).toString().toStdString();
        if (kind == 2) {
            label += ":00";
        }
        if (kind >= 0 && kind < 4 && units > 0) {
            pareto->by[static_cast<std::size_t>(kind)].push_back({std::move(label), units});
        }
    }
    if (query.lastError().type() != QSqlError::NoError) {
        return false;
    }
    for (std::vector<ParetoBar>& bars : pareto->by) {
        std::stable_sort(bars.begin(), bars.end(),
                         [](const ParetoBar& a, const ParetoBar& b) { return a.units > b.units; });
    }
    return true;
}

bool ReadMastersTested(const Reader& reader, const Filter& filter,
                       std::vector<MasterTested>* masters, std::vector<std::string>* operators,
                       std::vector<std::string>* stations) {
    masters->clear();
    operators->clear();
    stations->clear();
    FilterSql where;
    if (!FilterWhere(reader, filter, &where)) {
        return false;
    }
    const QString condition =
        where.sql + QStringLiteral(" AND outcome IN ('O.K', 'N.G') AND ") + Production(reader);
    QSqlQuery query(ReaderDatabase(reader));
    if (!PrepareRead(&query,
                     QStringLiteral("SELECT master, master_version, operator, station, COUNT(*),"
                                    " COUNT(CASE outcome WHEN 'O.K' THEN 1 END) FROM inspection"
                                    " WHERE ") +
                         condition +
                         QStringLiteral(" GROUP BY master, master_version, operator,"
                                        " station"),
                     where.values) ||
        !query.exec()) {
        return false;
    }
    std::map<std::string, std::pair<std::set<std::string>, Counts>> by_master;
    std::set<std::string> operator_names, station_names;
    while (query.next()) {
        auto& [versions, counts] = by_master[query.value(0).toString().toStdString()];
        const std::string version = query.value(1).toString().toStdString();
        versions.insert(version);
        const std::string name = query.value(2).toString().toStdString();
        if (!name.empty()) {
            operator_names.insert(name);
        }
        station_names.insert(query.value(3).toString().toStdString());
        counts.tested += query.value(4).toLongLong();
        counts.ok += query.value(5).toLongLong();
        counts.ng += query.value(4).toLongLong() - query.value(5).toLongLong();
    }
    if (query.lastError().type() != QSqlError::NoError) {
        return false;
    }
    for (const auto& [master, tested] : by_master) {
        masters->push_back({master,
                            std::vector<std::string>(tested.first.begin(), tested.first.end()),
                            tested.second});
    }
    operators->assign(operator_names.begin(), operator_names.end());
    stations->assign(station_names.begin(), station_names.end());
    return true;
}

}  // namespace history
