// The history's year for the benchmarks: `records` inspections over the 365 days that end on
// 2026-12-09, in time order, written straight into a station file; 16 masters, 7 % N.G.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>
#include <filesystem>
#include <string>

#include "records/schema.h"
#include "values/wave.h"

namespace year_history {

inline constexpr int MASTERS = 16;
inline constexpr const char* OLD_MASTER = "구형-01";  // made only in the year's first two weeks

inline std::string Uuid(long long n) {
    char text[40];
    std::snprintf(text, sizeof text, "%08llx-0000-4000-8000-%012llx", n >> 16, n);
    return text;
}

// `records` over the 365 days that end on 2026-12-09, in time order, with the given indexes.
inline bool Generate(const std::string& file, long long records, bool panel_indexes) {
    std::filesystem::remove(file);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench_generate");
        db.setDatabaseName(QString::fromStdString(file));
        if (!db.open()) {
            return false;
        }
        QSqlQuery query(db);
        query.exec("PRAGMA journal_mode = WAL");
        for (const std::string& statement : records::LocalSchema(0)) {
            query.exec(QString::fromStdString(statement));
        }
        if (!panel_indexes) {
            for (const records::Index& index : records::READ_INDEXES) {
                query.exec(QStringLiteral("DROP INDEX %1").arg(index.name));
            }
        }
        db.transaction();
        query.prepare(
            "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, model_no,"
            " voltage, width, pulse_no, judge, area, phase, outcome, stopped_at, standard_wave,"
            " measured_wave) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        QByteArray standard(WAVE_SAMPLES, 0), measured(WAVE_SAMPLES, 0);
        for (int i = 0; i < WAVE_SAMPLES; ++i) {
            standard[i] = static_cast<char>((i * 7) % 200 - 100);
            measured[i] = static_cast<char>((i * 7 + 3) % 200 - 100);
        }
        const QDateTime first(QDate(2025, 12, 10), QTime(0, 0));
        const double step_ms = 365.0 * 86400000.0 / static_cast<double>(records);
        const QVariant none;
        ok = true;
        for (long long n = 0; n < records && ok; ++n) {
            const QDateTime at = first.addMSecs(static_cast<qint64>(n * step_ms));
            const QString started = at.toString("yyyy-MM-ddTHH:mm:ss.zzz") + "+09:00";
            const QString ended = at.addMSecs(400).toString("yyyy-MM-ddTHH:mm:ss.zzz") + "+09:00";
            const int roll = static_cast<int>((n * 7919) % 100);
            const QString outcome = roll < 93 ? "O.K" : roll < 99 ? "N.G" : "incomplete";
            const bool complete = roll < 99;
            const bool old = at.date() < first.date().addDays(14) && n % 10 == 0;
            query.addBindValue(QString::fromStdString(Uuid(n)));
            query.addBindValue("station-01");
            query.addBindValue(started);
            query.addBindValue(ended);
            query.addBindValue(QString("SN%1").arg(n, 9, 10, QChar('0')));
            query.addBindValue(old ? QString(OLD_MASTER) : QString("모터-%1").arg(n % MASTERS));
            query.addBindValue("12");
            query.addBindValue(1.5);
            query.addBindValue(10);
            query.addBindValue(5);
            query.addBindValue(20);
            query.addBindValue(complete ? QVariant(static_cast<int>(n % 37)) : none);
            query.addBindValue(complete ? QVariant(static_cast<int>(n % 41)) : none);
            query.addBindValue(outcome);
            query.addBindValue(complete ? "" : "WT");
            query.addBindValue(complete ? QVariant(standard) : none);
            query.addBindValue(complete ? QVariant(measured) : none);
            ok = query.exec();
        }
        ok = db.commit() && ok;
        query.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    QSqlDatabase::removeDatabase("bench_generate");
    return ok;
}

inline long long RecordsIn(const std::string& file) {
    long long count = -1;
    if (!std::filesystem::exists(file)) {
        return count;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench_count");
        db.setDatabaseName(QString::fromStdString(file));
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT MAX(id) FROM inspection_record") && query.next()) {
            count = query.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase("bench_count");
    return count;
}

}  // namespace year_history
