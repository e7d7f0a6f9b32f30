#include "plant/yield_reads.h"

#include <algorithm>
#include <map>

#include "history/history_query.h"
#include "plant/line_reads.h"
#include "settings/station_settings.h"

namespace plant {

namespace {

const QString AT_FORMAT = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

struct Group {
    std::string label;
    history::Filter filter;
};

// The history's reads on this thread's connection to the server.
history::Reader ReaderOn(const QSqlDatabase& db) {
    history::Reader reader;
    reader.connection = db.connectionName().toStdString();
    reader.on_server = true;
    return reader;
}

history::Filter FilterOf(const history::Period& period, const std::string& station = "") {
    history::Filter filter;
    filter.from_at = period.from_at;
    filter.to_at = period.to_at;
    filter.station = station;
    return filter;
}

// The part of `part` within `period`.
history::Period Within(const history::Period& part, const history::Period& period) {
    return {std::max(part.from_at, period.from_at), std::min(part.to_at, period.to_at)};
}

std::optional<YieldRow> Count(const history::Reader& reader, const Group& group) {
    YieldRow row{group.label, {}, {}};
    long long records = 0;
    if (!history::CountRecords(reader, group.filter, &row.counts, &records) ||
        !history::CountUnits(reader, group.filter, &row.units)) {
        return std::nullopt;
    }
    return row;
}

std::vector<Group> Days(const history::Period& period) {
    std::vector<Group> days;
    QDate day = QDateTime::fromString(QString::fromStdString(period.from_at), AT_FORMAT).date();
    for (; day.isValid(); day = day.addDays(1)) {
        const std::string from =
            day.toString(QStringLiteral("yyyy-MM-dd")).toStdString() + "T00:00:00";
        if (from >= period.to_at) {
            break;
        }
        const std::string to =
            day.addDays(1).toString(QStringLiteral("yyyy-MM-dd")).toStdString() + "T00:00:00";
        days.push_back({from.substr(0, 10), FilterOf(Within({from, to}, period))});
    }
    return days;
}

history::Period ShiftOf(const std::vector<int>& starts, const QDateTime& at) {
    const QDate day = at.date();
    return history::ShiftIn(starts, day.year(), day.month(), day.day(),
                            at.time().hour() * 60 + at.time().minute());
}

// The shifts the period touches, one after the other, each labelled "2026-12-11 06:00–14:00".
std::vector<Group> Shifts(const std::vector<int>& starts, const history::Period& period,
                          const std::string& station) {
    std::vector<Group> shifts;
    std::string at = period.from_at;
    while (at < period.to_at) {
        const history::Period shift =
            ShiftOf(starts, QDateTime::fromString(QString::fromStdString(at), AT_FORMAT));
        if (shift.to_at <= at) {
            break;
        }
        const std::string label = shift.from_at.substr(0, 10) + " " + shift.from_at.substr(11, 5) +
                                  "–" + shift.to_at.substr(11, 5);
        shifts.push_back({station.empty() ? label : station + " · " + label,
                          FilterOf(Within(shift, period), station)});
        at = shift.to_at;
    }
    return shifts;
}

// The stations by the shifts they keep, the defaults for a station that audited none.
std::map<std::vector<int>, std::vector<std::string>> StationsByShifts(
    QSqlDatabase& db, const std::vector<std::string>& stations) {
    std::map<std::vector<int>, std::vector<std::string>> by_shifts;
    for (const std::string& station : stations) {
        std::vector<int> starts = ShiftStarts(db, station);
        std::sort(starts.begin(), starts.end());
        by_shifts[starts.empty() ? settings::ReferenceSettings{}.shifts : starts].push_back(
            station);
    }
    return by_shifts;
}

std::vector<Group> Groups(YieldBy by, const history::Period& period,
                          const std::vector<history::MasterTested>& masters,
                          const std::vector<std::string>& stations,
                          const std::map<std::vector<int>, std::vector<std::string>>& by_shifts) {
    std::vector<Group> groups;
    switch (by) {
        case YieldBy::STATION:
            for (const std::string& station : stations) {
                groups.push_back({station, FilterOf(period, station)});
            }
            break;
        case YieldBy::MASTER:
            for (const history::MasterTested& master : masters) {
                if (master.master.empty()) {
                    continue;  // a filter's empty master is any master
                }
                groups.push_back({master.master, FilterOf(period)});
                groups.back().filter.master = master.master;
            }
            break;
        case YieldBy::DAY:
            groups = Days(period);
            break;
        case YieldBy::SHIFT:
            if (by_shifts.size() <= 1) {
                const std::vector<int> starts =
                    by_shifts.empty() ? std::vector<int>{} : by_shifts.begin()->first;
                return Shifts(starts, period, "");
            }
            for (const auto& [starts, kept_by] : by_shifts) {
                for (const std::string& station : kept_by) {
                    const std::vector<Group> shifts = Shifts(starts, period, station);
                    groups.insert(groups.end(), shifts.begin(), shifts.end());
                }
            }
            break;
    }
    return groups;
}

}  // namespace

std::optional<YieldBy> YieldByName(const std::string& name) {
    if (name == "station") {
        return YieldBy::STATION;
    }
    if (name == "master") {
        return YieldBy::MASTER;
    }
    if (name == "shift") {
        return YieldBy::SHIFT;
    }
    if (name == "day") {
        return YieldBy::DAY;
    }
    return std::nullopt;
}

std::optional<Yield> ReadYield(QSqlDatabase& db, const history::Period& period, YieldBy by,
                               const QDateTime& now) {
    const history::Reader reader = ReaderOn(db);
    std::vector<history::MasterTested> masters;
    std::vector<std::string> operators, stations;
    const std::optional<YieldRow> total = Count(reader, {"", FilterOf(period)});
    if (!total ||
        !history::ReadMastersTested(reader, FilterOf(period), &masters, &operators, &stations)) {
        return std::nullopt;
    }
    Yield yield;
    yield.total = *total;
    const auto by_shifts = StationsByShifts(db, stations);
    yield.shift_now =
        ShiftOf(by_shifts.size() == 1 ? by_shifts.begin()->first : std::vector<int>{}, now);
    for (const Group& group : Groups(by, period, masters, stations, by_shifts)) {
        const std::optional<YieldRow> row = Count(reader, group);
        if (!row) {
            return std::nullopt;
        }
        if (row->counts.tested > 0) {
            yield.rows.push_back(*row);
        }
    }
    return yield;
}

std::optional<history::Pareto> ReadYieldPareto(QSqlDatabase& db, const history::Period& period) {
    history::Pareto pareto;
    if (!history::ReadPareto(ReaderOn(db), FilterOf(period), &pareto)) {
        return std::nullopt;
    }
    return pareto;
}

}  // namespace plant
