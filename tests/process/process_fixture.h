// Production records written straight into the station's file, with the columns the process
// views read: the judgement setting, the master version, the operator and the station.
#pragma once

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <string>
#include <vector>

#include "records/database_file.h"
#include "records/schema.h"

struct ProcessRecord {
    std::string started_at;  // "2026-12-09T06:10:00"
    std::string serial;
    std::string master = "M-01";
    std::string outcome = "O.K";
    int area = 0;
    int phase = 0;
    int judge = 20;
    std::string version = "v1";
    std::string operator_name = "kim";
    std::string station = "line-1";
    int attempt = 1;
    bool reference = false;
};

// An audit row of the gates, as the station writes it (its hash is not looked at here).
struct GateRow {
    std::string at;
    std::string action;
    std::string object;
    std::string before;
    std::string after;
    std::string reason;
};

// Writes the records and the audit rows into "inspection_history.db" of the working directory,
// in order.
inline void FillProcess(const std::vector<ProcessRecord>& records,
                        const std::vector<GateRow>& audit = {}) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "process_fixture");
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
            " standard_wave, measured_wave, operator, master_version, attempt, reference)"
            " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        int n = 0;
        for (const ProcessRecord& r : records) {
            const bool complete = r.outcome != "incomplete";
            const QString started = QString::fromStdString(r.started_at) + ".000+09:00";
            const QVariant none;
            const QVariantList values = {QString("uuid-%1").arg(++n),
                                         QString::fromStdString(r.station),
                                         started,
                                         started,
                                         QString::fromStdString(r.serial),
                                         QString::fromStdString(r.master),
                                         "12",
                                         1.5,
                                         10,
                                         5,
                                         r.judge,
                                         complete ? QVariant(r.area) : none,
                                         complete ? QVariant(r.phase) : none,
                                         QString::fromStdString(r.outcome),
                                         complete ? "" : "WT",
                                         none,
                                         none,
                                         QString::fromStdString(r.operator_name),
                                         QString::fromStdString(r.version),
                                         r.attempt,
                                         r.reference ? 1 : 0};
            for (const QVariant& value : values) {
                query.addBindValue(value);
            }
            ASSERT_TRUE(query.exec());
        }
        for (const GateRow& row : audit) {
            ASSERT_TRUE(query.prepare(
                "INSERT INTO audit (at, station, user_name, role, action, object, before_value,"
                " after_value, reason, prev_hash, hash) VALUES (?,'line-1','이엔지','engineer',"
                "?,?,?,?,?,'','')"));
            for (const std::string& value : {row.at + ".000+09:00", row.action, row.object,
                                             row.before, row.after, row.reason}) {
                query.addBindValue(QString::fromStdString(value));
            }
            ASSERT_TRUE(query.exec());
        }
        ASSERT_TRUE(db.commit());
    }
    QSqlDatabase::removeDatabase("process_fixture");
}

// "2026-12-09T06:MM:SS" for the k-th record of a run a minute apart from 06:00.
inline std::string MinuteAfterSix(int k, const char* day = "2026-12-09") {
    char text[32];
    std::snprintf(text, sizeof text, "%sT%02d:%02d:00", day, 6 + k / 60, k % 60);
    return text;
}
