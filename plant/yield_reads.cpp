#include "plant/yield_reads.h"

#include <algorithm>
#include <map>
#include <utility>

#include "history/counts.h"
#include "history/grouped_counts.h"
#include "history/history_query.h"
#include "plant/line_reads.h"
#include "plant/read_aside.h"
#include "settings/station_settings.h"

namespace plant {

namespace {

const QString AT_FORMAT = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// The history's reads on this thread's connection to the server.
history::Reader ReaderOn(const QSqlDatabase& db) {
    history::Reader reader;
    reader.connection = db.connectionName().toStdString();
    reader.on_server = true;
    return reader;
}

history::Filter FilterOf(const history::Period& period) {
    history::Filter filter;
    filter.from_at = period.from_at;
    filter.to_at = period.to_at;
    return filter;
}

// Every record of the period is in one of a read's groups: their sum is the whole's counts.
history::Counts Whole(const std::vector<history::GroupCounts>& groups) {
    history::Counts whole;
    for (const history::GroupCounts& group : groups) {
        history::AddCounts(group.counts, &whole);
    }
    return whole;
}

history::Period ShiftOf(const std::vector<int>& starts, const QDateTime& at) {
    const QDate day = at.date();
    return history::ShiftIn(starts, day.year(), day.month(), day.day(),
                            at.time().hour() * 60 + at.time().minute());
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

// A row of the shifts' table: its label and the group of CountGroups that gives its figures.
struct ShiftRow {
    std::string label;
    std::string station;
    std::string slot;
};

// A read of the shifts that some stations keep, and the rows it fills.
struct ShiftSplit {
    history::Grouping grouping;
    std::vector<ShiftRow> rows;
};

// The shifts the period touches, one after the other, each labelled "2026-12-11 06:00–14:00"
// (each station's before it when `stations` are given) and read as the slots between them.
ShiftSplit Shifts(const std::vector<int>& starts, const history::Period& period,
                  const std::vector<std::string>& stations) {
    ShiftSplit split{{history::Grouping::Key::SLOT, {}, !stations.empty()}, {}};
    std::vector<std::string> labels;
    std::string at = period.from_at;
    while (at < period.to_at) {
        const history::Period shift =
            ShiftOf(starts, QDateTime::fromString(QString::fromStdString(at), AT_FORMAT));
        if (shift.to_at <= at) {
            break;
        }
        labels.push_back(shift.from_at.substr(0, 10) + " " + shift.from_at.substr(11, 5) + "–" +
                         shift.to_at.substr(11, 5));
        if (shift.to_at < period.to_at) {
            split.grouping.bounds.push_back(shift.to_at);
        }
        at = shift.to_at;
    }
    for (const std::string& station : stations.empty() ? std::vector<std::string>{""} : stations) {
        for (std::size_t slot = 0; slot < labels.size(); ++slot) {
            split.rows.push_back({station.empty() ? labels[slot] : station + " · " + labels[slot],
                                  station, std::to_string(slot)});
        }
    }
    return split;
}

// One split for stations that keep the same shifts; one a set of shifts, each station's rows
// apart, where they differ.
std::vector<ShiftSplit> ShiftSplits(
    const history::Period& period,
    const std::map<std::vector<int>, std::vector<std::string>>& by_shifts) {
    if (by_shifts.size() <= 1) {
        return {
            Shifts(by_shifts.empty() ? std::vector<int>{} : by_shifts.begin()->first, period, {})};
    }
    std::vector<ShiftSplit> splits;
    for (const auto& [starts, kept_by] : by_shifts) {
        splits.push_back(Shifts(starts, period, kept_by));
    }
    return splits;
}

// A split's groups with both their figures, and the stations that tested.
struct Counted {
    std::vector<history::GroupCounts> groups;
    std::vector<std::string> stations;
};

// The split's two reads at once: its records' aside, its units' on `db`.
std::optional<Counted> CountSplit(const Settings& settings, QSqlDatabase& db,
                                  const history::Period& period,
                                  const history::Grouping& grouping) {
    std::future<std::optional<Counted>> records = ReadAside<Counted>(
        settings, [period, grouping](QSqlDatabase& aside) -> std::optional<Counted> {
            Counted counted;
            if (!history::CountGroupRecords(ReaderOn(aside), FilterOf(period), grouping,
                                            &counted.groups, &counted.stations)) {
                return std::nullopt;
            }
            return counted;
        });
    std::vector<history::GroupCounts> units;
    const bool units_read =
        history::CountGroupUnits(ReaderOn(db), FilterOf(period), grouping, &units);
    std::optional<Counted> counted = records.get();
    if (!units_read || !counted) {
        return std::nullopt;
    }
    for (history::GroupCounts& group : counted->groups) {
        const auto found = std::find_if(units.begin(), units.end(), [&group](const auto& unit) {
            return unit.station == group.station && unit.key == group.key;
        });
        if (found != units.end()) {
            group.units = found->units;
        }
    }
    return counted;
}

// The rows by shift, and the whole's counts; false when the server cannot be read.
bool ReadShifts(const Settings& settings, QSqlDatabase& db, const history::Period& period,
                const std::map<std::vector<int>, std::vector<std::string>>& by_shifts,
                Yield* yield) {
    bool first = true;
    for (const ShiftSplit& split : ShiftSplits(period, by_shifts)) {
        const std::optional<Counted> counted = CountSplit(settings, db, period, split.grouping);
        if (!counted) {
            return false;
        }
        for (const ShiftRow& row : split.rows) {
            const auto found = std::find_if(
                counted->groups.begin(), counted->groups.end(), [&row](const auto& group) {
                    return group.station == row.station && group.key == row.slot;
                });
            if (found != counted->groups.end() && found->counts.tested > 0) {
                yield->rows.push_back({row.label, found->counts, found->units});
            }
        }
        if (std::exchange(first, false)) {
            yield->total.counts = Whole(counted->groups);
        }
    }
    return true;
}

// The whole period's units and its N.G Pareto: the reads the rows do not need.
std::optional<Yield> ReadWhole(QSqlDatabase& db, const history::Period& period) {
    const history::Reader reader = ReaderOn(db);
    Yield whole;
    if (!history::CountUnits(reader, FilterOf(period), &whole.total.units) ||
        !history::ReadPareto(reader, FilterOf(period), &whole.pareto)) {
        return std::nullopt;
    }
    return whole;
}

history::Grouping::Key KeyOf(YieldBy by) {
    return by == YieldBy::MASTER ? history::Grouping::Key::MASTER
           : by == YieldBy::DAY  ? history::Grouping::Key::DAY
                                 : history::Grouping::Key::STATION;
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

std::optional<Yield> ReadYield(const Settings& settings, QSqlDatabase& db,
                               const history::Period& period, YieldBy by, const QDateTime& now) {
    std::future<std::optional<Yield>> whole = ReadAside<Yield>(
        settings, [period](QSqlDatabase& aside) { return ReadWhole(aside, period); });
    Yield yield;
    std::vector<std::string> stations;
    std::map<std::vector<int>, std::vector<std::string>> by_shifts;
    bool read = true;
    if (by == YieldBy::SHIFT) {
        // The shifts' rows need the stations' shifts before they are read.
        std::vector<history::MasterTested> masters;
        std::vector<std::string> operators;
        read = history::ReadMastersTested(ReaderOn(db), FilterOf(period), &masters, &operators,
                                          &stations);
        by_shifts = StationsByShifts(db, stations);
        read = read && ReadShifts(settings, db, period, by_shifts, &yield);
    } else {
        const std::optional<Counted> counted =
            CountSplit(settings, db, period, {KeyOf(by), {}, false});
        for (const history::GroupCounts& group :
             counted ? counted->groups : std::vector<history::GroupCounts>{}) {
            // A record of no master is in the whole only.
            if (group.counts.tested > 0 && !(by == YieldBy::MASTER && group.key.empty())) {
                yield.rows.push_back({group.key, group.counts, group.units});
            }
        }
        read = counted.has_value();
        if (counted) {
            yield.total.counts = Whole(counted->groups);
            by_shifts = StationsByShifts(db, counted->stations);
        }
    }
    std::optional<Yield> units_and_bars = whole.get();
    if (!read || !units_and_bars) {
        return std::nullopt;
    }
    yield.total.units = units_and_bars->total.units;
    yield.pareto = std::move(units_and_bars->pareto);
    yield.shift_now =
        ShiftOf(by_shifts.size() == 1 ? by_shifts.begin()->first : std::vector<int>{}, now);
    return yield;
}

}  // namespace plant
