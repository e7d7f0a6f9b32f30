#include "history/units.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

#include "history/counts.h"
#include "history/recording_database.h"
#include "history/trail_reads.h"
#include "records/record_fields.h"

namespace history {

namespace {

bool IsTest(Outcome outcome) {
    return outcome == Outcome::OK || outcome == Outcome::NG;
}

}  // namespace

bool Readable() {
    return RecordingDatabase() != nullptr;
}

UnitTests TestsOfUnit(const std::string& serial, TimePoint now, int window_days) {
    UnitTests found;
    if (serial.empty()) {
        return found;
    }
    const TimePoint from = now - std::chrono::hours(24) * window_days;
    if (records::Database* db = RecordingDatabase()) {
        db->Read([&](QSqlDatabase& connection) {
            QSqlQuery query(connection);
            query.prepare(QStringLiteral("SELECT COUNT(*), COUNT(CASE WHEN outcome = '%1' THEN 1 "
                                         "END) FROM inspection_record WHERE serial = ? AND "
                                         "started_at >= ? AND started_at < ? AND %2")
                              .arg(QLatin1String(Outcome_text(Outcome::OK)), TestCondition()));
            query.addBindValue(QString::fromStdString(serial));
            query.addBindValue(records::IsoTime(from));
            query.addBindValue(records::IsoTime(now));
            if (!query.exec() || !query.next()) {
                return records::StatusOf(query.lastError());
            }
            found.tests = query.value(0).toInt();
            found.ok = query.value(1).toInt();
            return records::DbStatus::Ok;
        });
    }
    for (const records::InspectionRow& row : HeldBackRows()) {
        const Inspection& held = row.inspection;
        if (held.serial == serial && IsTest(held.outcome) && held.started_at >= from &&
            held.started_at < now) {
            ++found.tests;
            found.ok += held.outcome == Outcome::OK ? 1 : 0;
        }
    }
    return found;
}

std::vector<Outcome> LatestVerdicts(const std::string& master, TimePoint since, int count) {
    std::vector<std::pair<TimePoint, Outcome>> verdicts;
    for (const records::InspectionRow& row : HeldBackRows()) {
        const Inspection& held = row.inspection;
        if (held.master == master && IsTest(held.outcome) && !held.reference &&
            held.started_at > since) {
            verdicts.emplace_back(held.started_at, held.outcome);
        }
    }
    std::vector<Outcome> latest;
    for (auto at = verdicts.rbegin(); at != verdicts.rend() && latest.size() < std::size_t(count);
         ++at) {
        latest.push_back(at->second);
    }
    records::Database* db = RecordingDatabase();
    if (db == nullptr || latest.size() >= std::size_t(count)) {
        return latest;
    }
    db->Read([&](QSqlDatabase& connection) {
        QSqlQuery query(connection);
        // Counting begins anew at the master's last acknowledgement, in the trail across restarts.
        query.prepare(QStringLiteral("SELECT outcome FROM inspection_record WHERE master = ? AND "
                                     "started_at > ? AND started_at > COALESCE(?, '') AND %1 AND "
                                     "%2 ORDER BY started_at DESC, id DESC LIMIT ?")
                          .arg(TestCondition(), ProductionCondition()));
        query.addBindValue(QString::fromStdString(master));
        query.addBindValue(records::IsoTime(since));
        query.addBindValue(LastAcknowledged(connection, master).value_or(QString()));
        query.addBindValue(count - static_cast<int>(latest.size()));
        if (!query.exec()) {
            return records::StatusOf(query.lastError());
        }
        const std::string ok = Outcome_text(Outcome::OK);
        while (query.next()) {
            latest.push_back(query.value(0).toString().toStdString() == ok ? Outcome::OK
                                                                           : Outcome::NG);
        }
        return records::DbStatus::Ok;
    });
    return latest;
}

std::optional<LineStopRow> UnacknowledgedStop(const std::string& master) {
    std::optional<LineStopRow> stop;
    if (records::Database* db = RecordingDatabase()) {
        db->Read([&](QSqlDatabase& connection) {
            if (const std::optional<OpenStop> open = LastOpenStop(connection, master)) {
                stop = LineStopRow{open->code, open->rule};
            }
            return records::DbStatus::Ok;
        });
    }
    return stop;
}

std::vector<ReferenceTest> ReferenceTests(const std::string& master,
                                          const std::string& master_version, TimePoint since) {
    std::vector<ReferenceTest> tests;
    records::Database* db = RecordingDatabase();
    if (db == nullptr) {
        return tests;
    }
    db->Read([&](QSqlDatabase& connection) {
        QSqlQuery query(connection);
        query.prepare(QStringLiteral("SELECT serial, outcome, started_at FROM inspection_record "
                                     "WHERE master = ? AND started_at >= ? AND reference = 1 AND "
                                     "master_version = ? AND %1 ORDER BY started_at, id")
                          .arg(TestCondition()));
        query.addBindValue(QString::fromStdString(master));
        query.addBindValue(records::IsoTime(since));
        query.addBindValue(QString::fromStdString(master_version));
        if (!query.exec()) {
            return records::StatusOf(query.lastError());
        }
        const std::string ok = Outcome_text(Outcome::OK);
        while (query.next()) {
            const QDateTime at =
                QDateTime::fromString(query.value(2).toString(), Qt::ISODateWithMs);
            tests.push_back(
                {query.value(0).toString().toStdString(),
                 query.value(1).toString().toStdString() == ok ? Outcome::OK : Outcome::NG,
                 TimePoint(std::chrono::milliseconds(at.toMSecsSinceEpoch()))});
        }
        return records::DbStatus::Ok;
    });
    return tests;
}

}  // namespace history
