#include "history/wave_reads.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>

#include "history/counts.h"
#include "history/filter_sql.h"
#include "history/history_query.h"
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

// The filter's records in the station's file that could be named for `version`.
bool NamedWhere(const Filter& filter, const std::string& version, FilterSql* where) {
    if (!FilterWhere(Reader{}, filter, where)) {
        return false;
    }
    where->sql += QStringLiteral(
                      " AND master_version = ? AND outcome = '%1' AND %2 AND "
                      "length(measured_wave) = %3")
                      .arg(QLatin1String(Outcome_text(Outcome::OK)), ProductionCondition())
                      .arg(WAVE_SAMPLES);
    where->values << QString::fromStdString(version);
    return true;
}

// Runs `sql` on `query` with `values` bound; false when it fails.
bool Run(QSqlQuery* query, const QString& sql, const QVariantList& values) {
    if (!query->prepare(sql)) {
        return false;
    }
    for (const QVariant& value : values) {
        query->addBindValue(value);
    }
    return query->exec();
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

bool ReadNamedUnits(const Filter& filter, int at_most, NamedUnits* named, int* count) {
    *named = {};
    *count = 0;
    FilterSql where;
    bool read = Each(QStringLiteral("SELECT master_version FROM inspection_record WHERE master = ? "
                                    "ORDER BY started_at DESC, id DESC LIMIT 1"),
                     {QString::fromStdString(filter.master)}, [named](const QSqlQuery& query) {
                         named->version = query.value(0).toString().toStdString();
                     });
    if (!read || named->version.empty()) {
        return read;
    }
    read = NamedWhere(filter, named->version, &where) &&
           Each(QStringLiteral("SELECT COUNT(*) FROM inspection WHERE ") + where.sql, where.values,
                [count](const QSqlQuery& query) { *count = query.value(0).toInt(); });
    if (!read || *count > at_most) {
        return read;
    }
    return Each(
        QStringLiteral("SELECT id, measured_wave FROM inspection WHERE %1 ORDER BY started_at, id")
            .arg(where.sql),
        where.values, [named](const QSqlQuery& query) {
            named->records.push_back(query.value(0).toLongLong());
            AddWave(query.value(1), &named->waves);
        });
}

bool KeepNamed(const NamedUnits& named, const std::string& master, int dropped) {
    records::Database* db = RecordingDatabase();
    const QString version = QString::fromStdString(named.version);
    const int units = static_cast<int>(named.records.size());
    return db != nullptr && db->Read([&](QSqlDatabase& connection) {
        if (!connection.transaction()) {
            return records::StatusOf(connection.lastError());
        }
        QSqlQuery query(connection);
        bool kept =
            Run(&query,
                QStringLiteral("INSERT OR REPLACE INTO wave_reference VALUES (?, ?, ?, ?, ?)"),
                {version, QString::fromStdString(master),
                 records::IsoTime(std::chrono::system_clock::now()), units, dropped}) &&
            Run(&query, QStringLiteral("DELETE FROM wave_reference_unit WHERE master_version = ?"),
                {version});
        for (std::size_t i = 0; kept && i < named.records.size(); ++i) {
            kept = Run(&query, QStringLiteral("INSERT INTO wave_reference_unit VALUES (?, ?)"),
                       {version, named.records[i]});
        }
        if (!kept || !connection.commit()) {
            const QSqlError error = kept ? connection.lastError() : query.lastError();
            connection.rollback();
            return records::StatusOf(error);
        }
        return records::DbStatus::Ok;
    }) == records::DbStatus::Ok;
}

std::vector<Wave> NamedWaves(const std::string& master_version) {
    std::vector<Wave> waves;
    Each(QStringLiteral("SELECT measured_wave FROM inspection_record JOIN wave_reference_unit ON "
                        "record = id WHERE wave_reference_unit.master_version = ? ORDER BY "
                        "started_at, id"),
         {QString::fromStdString(master_version)},
         [&waves](const QSqlQuery& query) { AddWave(query.value(0), &waves); });
    return waves;
}

}  // namespace history
