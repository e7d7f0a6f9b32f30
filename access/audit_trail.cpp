#include "access/audit_trail.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <chrono>
#include <deque>

#include "access/access_database.h"
#include "access/audit_row.h"
#include "access/digest.h"
#include "access/session.h"
#include "access/settings_in_force.h"
#include "records/carry_over.h"
#include "records/database_file.h"
#include "records/history_switch.h"
#include "records/record_fields.h"
#include "records/schema.h"
#include "records/station_file.h"
#include "toolkit/toolkit.h"

namespace access_control {

namespace {

constexpr const char* CANNOT_AUDIT =
    "변경 기록(감사 기록)을 쓸 수 없습니다 (inspection_history.db).\n"
    "기록은 보관했다가 파일에 쓸 수 있게 되면 씁니다. 디스크 여유 공간과 폴더의 쓰기 권한을 "
    "확인하십시요.";

struct Trail {
    bool started = false;
    bool for_tool = false;
    bool told = false;
    std::deque<AuditRow> pending;
};

Trail& TheTrail() {
    static auto* trail = new Trail;
    return *trail;
}

bool Writes() {
    return TheTrail().for_tool || !records::HistoryOff() || Settings().access.enabled;
}

// Chains the row to the newest on the file and adds it, with its place in the server's queue.
records::DbStatus Append(AuditRow* row) {
    records::Database* db = AccessDatabase();
    if (db == nullptr) {
        return records::DbStatus::Failed;
    }
    return db->Read([row](QSqlDatabase& file) {
        if (!file.transaction()) {
            return records::StatusOf(file.lastError());
        }
        QSqlQuery query(file);
        const auto failed = [&file, &query] {
            const QSqlError error = query.lastError();
            file.rollback();
            return records::StatusOf(error);
        };
        if (!query.exec(QStringLiteral("SELECT seq, hash FROM audit ORDER BY seq DESC LIMIT 1"))) {
            return failed();
        }
        const bool first = !query.next();
        row->seq = first ? 1 : query.value(0).toLongLong() + 1;
        row->prev_hash = first ? GENESIS : query.value(1).toString().toStdString();
        row->hash = Sha256Hex(CanonicalText(*row));
        query.finish();
        if (!query.prepare(
                QStringLiteral(
                    "INSERT INTO audit (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                    .arg(QString::fromStdString(records::AuditRowColumns())))) {
            return failed();
        }
        query.addBindValue(row->seq);
        for (const std::string* field :
             {&row->at, &row->station, &row->user, &row->role, &row->action, &row->object,
              &row->before, &row->after, &row->reason, &row->prev_hash, &row->hash,
              &row->software_version}) {
            query.addBindValue(QString::fromStdString(*field));
        }
        if (!query.exec() ||
            !query.exec(QStringLiteral("INSERT INTO audit_outbox VALUES (%1)").arg(row->seq))) {
            return failed();
        }
        return file.commit() ? records::DbStatus::Ok : failed();
    });
}

// Writes what waits, oldest first; stops at the first row the file does not take.
void Flush() {
    Trail& t = TheTrail();
    while (!t.pending.empty()) {
        if (AccessDatabase() == nullptr && !OpenAccessDatabase()) {
            break;
        }
        records::DbStatus status = Append(&t.pending.front());
        if (status == records::DbStatus::Damaged && !t.for_tool &&
            !records::SetAsideStationFile().isEmpty()) {
            status = Append(&t.pending.front());
        }
        if (status != records::DbStatus::Ok) {
            break;
        }
        t.pending.pop_front();
    }
    if (!t.pending.empty() && !t.told && !t.for_tool) {
        t.told = true;
        MessagePopup(WARNING_TITLE, CANNOT_AUDIT);
    }
}

}  // namespace

void StartTrail(bool for_tool) {
    TheTrail().started = true;
    TheTrail().for_tool = for_tool;
    if (for_tool) {
        Flush();
        return;
    }
    // The station's file set aside, by whichever of its users found it damaged: the users, the
    // settings and the trail go on in the new file, and the break is a row of its own.
    records::WatchStationFile("access", {CloseAccessDatabase, [](const QString& aside) {
                                             OpenAccessDatabase();
                                             if (!aside.isEmpty() && AccessDatabase() != nullptr) {
                                                 records::CarryTrail(aside, AccessDatabase());
                                                 Audit(AUDIT_FILE_SET_ASIDE, records::DATABASE_FILE,
                                                       "",
                                                       QFileInfo(aside).fileName().toStdString());
                                             }
                                         }});
    Flush();
}

void StopTrail() {
    Flush();
    TheTrail().started = false;
    records::WatchStationFile("access", {});
    CloseAccessDatabase();
}

void Audit(const std::string& action, const std::string& object, const std::string& before,
           const std::string& after, const std::string& reason) {
    Trail& t = TheTrail();
    if (!t.started || !Writes()) {
        return;
    }
    AuditRow row;
    row.at = records::IsoTime(std::chrono::system_clock::now()).toStdString();
    row.station = records::StationName().toStdString();
    row.software_version = records::SoftwareVersion().toStdString();
    row.user = CurrentUser().name;
    row.role = CurrentUser().role;
    row.action = action;
    row.object = object;
    row.before = before;
    row.after = after;
    row.reason = reason;
    t.pending.push_back(row);
    Flush();
}

long PendingAuditRows() {
    return static_cast<long>(TheTrail().pending.size());
}

}  // namespace access_control
