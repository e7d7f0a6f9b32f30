#include "history/wave_reads.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>

#include "history/counts.h"
#include "history/recording_database.h"
#include "records/record_fields.h"

namespace history {

namespace {

// The passed production tests of `master_version`, oldest first.
QString PassedOf(const QString& columns) {
    return QStringLiteral(
               "SELECT %1 FROM inspection_record WHERE master_version = ? AND outcome = "
               "'%2' AND %3 ORDER BY started_at, id LIMIT ?")
        .arg(columns, QLatin1String(Outcome_text(Outcome::OK)), ProductionCondition());
}

// Runs `sql` with `values` bound and hands each row to `row`; false when it cannot be read.
template <typename Row>
bool Each(const QString& sql, const QVariantList& values, Row row) {
    records::Database* db = RecordingDatabase();
    return db != nullptr && db->Read([&](QSqlDatabase& connection) {
        QSqlQuery query(connection);
        query.prepare(sql);
        for (const QVariant& value : values) {
            query.addBindValue(value);
        }
        if (!query.exec()) {
            return records::StatusOf(query.lastError());
        }
        while (query.next()) {
            row(query);
        }
        return records::DbStatus::Ok;
    }) == records::DbStatus::Ok;
}

// A stored measured wave, one of `waves` when it is whole.
void AddWave(const QVariant& value, std::vector<Wave>* waves) {
    const QByteArray bytes = value.toByteArray();
    if (bytes.size() == WAVE_SAMPLES) {
        Wave& wave = waves->emplace_back();
        std::copy(bytes.cbegin(), bytes.cend(), wave.begin());
    }
}

}  // namespace

int PassedUnits(const std::string& master_version, int at_most) {
    int units = 0;
    Each(QStringLiteral("SELECT COUNT(*) FROM (%1)").arg(PassedOf(QStringLiteral("1"))),
         {QString::fromStdString(master_version), at_most},
         [&units](const QSqlQuery& query) { units = query.value(0).toInt(); });
    return units;
}

std::vector<Wave> LearningWaves(const std::string& master_version, int units) {
    std::vector<Wave> waves;
    Each(PassedOf(QStringLiteral("measured_wave")), {QString::fromStdString(master_version), units},
         [&waves](const QSqlQuery& query) { AddWave(query.value(0), &waves); });
    return waves;
}

int LearnedUnits(const std::string& master_version) {
    int units = 0;
    Each(QStringLiteral("SELECT units FROM wave_reference WHERE master_version = ?"),
         {QString::fromStdString(master_version)},
         [&units](const QSqlQuery& query) { units = query.value(0).toInt(); });
    return units;
}

bool KeepLearned(const std::string& master_version, const std::string& master, int units,
                 int dropped) {
    return Each(QStringLiteral("INSERT OR IGNORE INTO wave_reference VALUES (?, ?, ?, ?, ?)"),
                {QString::fromStdString(master_version), QString::fromStdString(master),
                 records::IsoTime(std::chrono::system_clock::now()), units, dropped},
                [](const QSqlQuery&) {});
}

}  // namespace history
