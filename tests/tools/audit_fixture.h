// surge-audit's tests: a trail written by the station's own writer, the tamperer's SQL on the
// station's file, and surge-audit run as the quality engineer runs it.
#pragma once

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <string>
#include <vector>

#include "records/database_file.h"
#include "records/schema.h"
#include "trail/access_database.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"
#include "trail/digest.h"
#include "trail/trail_check.h"

// What surge-audit printed (both streams) and its exit code; -1 when it did not run to its end.
struct AuditRun {
    int exit_code = -1;
    std::string output;
};

inline AuditRun RunAudit(const QStringList& arguments) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(SURGE_AUDIT_PATH), arguments);
    AuditRun run;
    if (tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit) {
        run.exit_code = tool.exitCode();
    }
    run.output = tool.readAll().toStdString();
    return run;
}

// The master line and version the station writes for a master saved.
inline std::string MasterValue(const std::string& name) {
    return name + " 4.5 5 10 7 7 0 \xC2\xB7 " + trail::Sha256Hex(name);
}

// A master saved per name, through the trail started on the working directory's file.
inline void WriteTrail(const std::vector<std::string>& masters) {
    trail::StartTrail();
    for (const std::string& name : masters) {
        trail::Audit(trail::AUDIT_MASTER_SAVED, name, "", MasterValue(name));
    }
    trail::StopTrail();
    trail::CloseAccessDatabase();
}

// Runs `statements` on the station's file as a tamperer would; the first error, or empty.
inline std::string OnFile(const std::vector<std::string>& statements) {
    std::string error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tamperer");
        db.setDatabaseName(QString::fromLatin1(records::DATABASE_FILE));
        QSqlQuery query(db);
        if (!db.open()) {
            error = db.lastError().text().toStdString();
        }
        for (const std::string& statement : statements) {
            if (error.empty() && !query.exec(QString::fromStdString(statement))) {
                error = statement + ": " + query.lastError().text().toStdString();
            }
        }
    }
    QSqlDatabase::removeDatabase("tamperer");
    return error;
}

// A row of the station's file as it stands.
inline trail::AuditRow RowOnFile(long long seq) {
    std::vector<trail::AuditRow> rows;
    std::string error;
    trail::ReadTrail(records::DATABASE_FILE, &rows, &error);
    return seq >= 1 && seq <= static_cast<long long>(rows.size())
               ? rows[static_cast<std::size_t>(seq - 1)]
               : trail::AuditRow{};
}

// `statements` after dropping the triggers that keep the trail as written, as a tamperer would.
inline std::vector<std::string> Unguarded(const std::vector<std::string>& statements) {
    std::vector<std::string> all = {"DROP TRIGGER audit_never_changed",
                                    "DROP TRIGGER audit_never_deleted"};
    all.insert(all.end(), statements.begin(), statements.end());
    return all;
}

// The statements that move the rows after `before` one seq up and put after it a row forged with
// its own hash right, chained to `before`: on the station's file or on the server alike.
inline std::vector<std::string> InsertForged(const trail::AuditRow& before) {
    trail::AuditRow forged = before;
    forged.seq = before.seq + 1;
    forged.user = "intruder";
    forged.object = "M-99";
    forged.after = MasterValue("M-99");
    forged.prev_hash = before.hash;
    forged.hash = trail::Sha256Hex(trail::CanonicalText(forged));
    const std::string later = "seq > " + std::to_string(before.seq);
    std::string values;
    for (const std::string* field :
         {&forged.at, &forged.station, &forged.user, &forged.role, &forged.action, &forged.object,
          &forged.before, &forged.after, &forged.reason, &forged.prev_hash, &forged.hash,
          &forged.software_version, &forged.code}) {
        values += ", '" + *field + "'";
    }
    return {"UPDATE audit SET seq = -seq WHERE " + later,
            "UPDATE audit SET seq = 1 - seq WHERE seq < 0",
            "INSERT INTO audit (" + records::AuditRowColumns() + ") VALUES (" +
                std::to_string(forged.seq) + values + ")"};
}
