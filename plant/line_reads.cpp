#include "plant/line_reads.h"

#include <QSqlQuery>
#include <QVariant>

#include "history/counts.h"
#include "history/drift_reads.h"
#include "settings/station_settings.h"
#include "trail/audit_row.h"

namespace plant {

namespace {

// The stations that sent a record, by name: a step through the index on (station, started_at) a
// station, not a scan of every record.
constexpr const char* STATIONS =
    "WITH RECURSIVE s AS ((SELECT station FROM inspection ORDER BY station LIMIT 1) UNION ALL "
    "SELECT (SELECT i.station FROM inspection i WHERE i.station > s.station ORDER BY i.station "
    "LIMIT 1) FROM s WHERE s.station IS NOT NULL) SELECT station FROM s WHERE station IS NOT NULL";

// The settings 라인 현황 reads, as the station's last audited change of each left them: the shift
// starts (none without one) and [drift] wave.
settings::StationSettings AuditedSettings(QSqlDatabase& db, const std::string& station) {
    std::vector<settings::Setting> audited;
    for (const char* key : {"reference/shifts", "drift/wave"}) {
        QSqlQuery query(db);
        query.prepare(
            QStringLiteral("SELECT after_value FROM audit WHERE station = ? AND action = ? "
                           "AND object = ? ORDER BY seq DESC LIMIT 1"));
        query.addBindValue(QString::fromStdString(station));
        query.addBindValue(QLatin1String(trail::AUDIT_SETTINGS_CHANGED));
        query.addBindValue(QLatin1String(key));
        if (query.exec() && query.next()) {
            audited.push_back({key, query.value(0).toString().toStdString()});
        }
    }
    settings::StationSettings read;
    std::string problem;
    const bool shifts = !audited.empty() && audited.front().key == "reference/shifts";
    if (!settings::SettingsFromKeys(audited, &read, &problem) || !shifts) {
        read.reference.shifts.clear();
    }
    return read;
}

}  // namespace

std::vector<int> ShiftStarts(QSqlDatabase& db, const std::string& station) {
    return AuditedSettings(db, station).reference.shifts;
}

namespace {

history::Period PeriodAt(const std::vector<int>& shift_starts, const QDateTime& now) {
    const QDate day = now.date();
    if (shift_starts.empty()) {
        const QString format = QStringLiteral("yyyy-MM-ddT00:00:00");
        return {day.toString(format).toStdString(), day.addDays(1).toString(format).toStdString()};
    }
    return history::ShiftIn(shift_starts, day.year(), day.month(), day.day(),
                            now.time().hour() * 60 + now.time().minute());
}

bool ReadNewest(QSqlDatabase& db, StationLine* line, std::string* version) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT master, outcome, started_at, COALESCE(wave_alarm, 0), serial, "
        "COALESCE(to_char(received_at, 'YYYY-MM-DD\"T\"HH24:MI:SS'), ended_at), master_version "
        "FROM inspection "
        "WHERE station = ? ORDER BY started_at DESC LIMIT 1"));
    query.addBindValue(QString::fromStdString(line->station));
    if (!query.exec()) {
        return false;
    }
    if (query.next()) {
        line->master = query.value(0).toString().toStdString();
        line->verdict = query.value(1).toString().toStdString();
        line->verdict_at = query.value(2).toString().toStdString();
        line->wave_alarm = query.value(3).toInt() != 0;
        line->serial = query.value(4).toString().toStdString();
        line->last_seen = query.value(5).toString().toStdString();
        *version = query.value(6).toString().toStdString();
    }
    return true;
}

bool ReadCounts(QSqlDatabase& db, StationLine* line) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM inspection WHERE station = ? AND started_at >= ? "
                                 "AND started_at < ?")
                      .arg(history::CountsColumns()));
    for (const std::string* value : {&line->station, &line->shift.from_at, &line->shift.to_at}) {
        query.addBindValue(QString::fromStdString(*value));
    }
    if (!query.exec() || !query.next()) {
        return false;
    }
    line->counts = history::CountsAt(query, 0);
    return true;
}

// The drift of the master of the station's newest record, as the station's watch decides it:
// that master's newest readings at the station against its version's first tests there.
bool ReadDrift(QSqlDatabase& db, const std::string& version, bool wave, StationLine* line) {
    history::DriftReadings readings;
    if (!history::ReadDriftReadings(db, {line->master, version, line->station, wave}, &readings)) {
        return false;
    }
    line->drift = history::DriftText(history::DriftOf(readings, wave));
    return true;
}

}  // namespace

std::optional<std::vector<StationLine>> ReadLine(QSqlDatabase& db, const QDateTime& now) {
    QSqlQuery stations(db);
    if (!stations.exec(QLatin1String(STATIONS))) {
        return std::nullopt;
    }
    std::vector<StationLine> lines;
    while (stations.next()) {
        StationLine line;
        line.station = stations.value(0).toString().toStdString();
        const settings::StationSettings audited = AuditedSettings(db, line.station);
        line.shift = PeriodAt(audited.reference.shifts, now);
        std::string version;
        if (!ReadNewest(db, &line, &version) || !ReadCounts(db, &line) ||
            !ReadDrift(db, version, audited.drift.wave, &line)) {
            return std::nullopt;
        }
        line.line_stop = history::LastOpenStop(db, line.master, line.station);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace plant
