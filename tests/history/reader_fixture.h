// A history database filled by direct inserts in the schema's columns, in a fresh working folder.
#pragma once

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <string>
#include <vector>

#include "history/history_query.h"
#include "records/database_file.h"
#include "records/schema.h"
#include "tests/support/work_dir.h"

struct TestRecord {
    std::string started_at;  // "2026-12-03T10:00:00"; the fixture adds ".000+09:00"
    std::string serial;
    std::string master;
    std::string outcome;  // "O.K", "N.G" or "incomplete" (recorded without readings or waves)
    int area = 0;
    int phase = 0;
};

inline history::Filter Days(const std::string& from, const std::string& to,
                            const std::string& master = "", const std::string& serial = "",
                            std::optional<Outcome> outcome = std::nullopt) {
    history::Filter filter;
    filter.from = from;
    filter.to = to;
    filter.master = master;
    filter.serial = serial;
    filter.outcome = outcome;
    return filter;
}

// Wave samples of record `id`: a ramp that tells the two waves and the records apart.
inline signed char StandardSample(long long id, int i) {
    return static_cast<signed char>((i + id) % 200 - 100);
}
inline signed char MeasuredSample(long long id, int i) {
    return static_cast<signed char>(100 - (i + 2 * id) % 200);
}

class ReaderTest : public ::testing::Test {
  protected:
    ScopedWorkDir dir;
    history::Reader reader;

    void TearDown() override { history::CloseReader(reader); }

    // Inserts the records in order: record k (from 0) gets id k + 1; the ids `refused` are set
    // aside as the server's refusals.
    static void Fill(const std::vector<TestRecord>& records,
                     const std::vector<long long>& refused = {}) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "history_fixture");
            db.setDatabaseName(records::DATABASE_FILE);
            ASSERT_TRUE(db.open());
            QSqlQuery query(db);
            for (const std::string& statement : records::LocalSchema(0)) {
                ASSERT_TRUE(query.exec(QString::fromStdString(statement)));
            }
            db.transaction();
            ASSERT_TRUE(query.prepare(
                "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master,"
                " model_no, voltage, width, pulse_no, judge, area, phase, outcome, stopped_at,"
                " standard_wave, measured_wave) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
            long long id = 0;
            for (const TestRecord& r : records) {
                ++id;
                const bool complete = r.outcome != "incomplete";
                QByteArray standard(WAVE_SAMPLES, 0), measured(WAVE_SAMPLES, 0);
                for (int i = 0; i < WAVE_SAMPLES; ++i) {
                    standard[i] = static_cast<char>(StandardSample(id, i));
                    measured[i] = static_cast<char>(MeasuredSample(id, i));
                }
                const QString started = QString::fromStdString(r.started_at) + ".000+09:00";
                const QVariant none;
                for (const QVariant& value : QVariantList{
                         QString::number(id), "line-1", started, started,
                         QString::fromStdString(r.serial), QString::fromStdString(r.master), "12",
                         1.5, 10, 5, 20, complete ? QVariant(r.area) : none,
                         complete ? QVariant(r.phase) : none, QString::fromStdString(r.outcome),
                         complete ? "" : "WT", complete ? QVariant(standard) : none,
                         complete ? QVariant(measured) : none}) {
                    query.addBindValue(value);
                }
                ASSERT_TRUE(query.exec());
            }
            for (long long record : refused) {
                ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO refused VALUES (%1, "
                                                      "'2026-12-05T10:00:00.000+09:00', "
                                                      "'value too long')")
                                           .arg(record)));
            }
            db.commit();
        }
        QSqlDatabase::removeDatabase("history_fixture");
    }
};
