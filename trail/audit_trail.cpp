#include "trail/audit_trail.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <deque>
#include <optional>
#include <utility>

#include "log/log.h"
#include "records/carry_over.h"
#include "records/database_file.h"
#include "records/history_switch.h"
#include "records/record_fields.h"
#include "records/schema.h"
#include "records/station_file.h"
#include "toolkit/toolkit.h"
#include "trail/access_database.h"
#include "trail/audit_row.h"
#include "trail/digest.h"
#include "trail/session.h"
#include "values/tell_once.h"

namespace trail {

namespace {

constexpr const char* CANNOT_AUDIT =
    "변경 기록(감사 기록)을 쓸 수 없습니다 (inspection_history.db).\n"
    "기록은 보관했다가 파일에 쓸 수 있게 되면 씁니다. 디스크 여유 공간과 폴더의 쓰기 권한을 "
    "확인하십시요.";

constexpr const char* TRAIL_CUT =
    "변경 기록(감사 기록)의 마지막 행이 이 검사기 밖에서 지워졌습니다 (%1 번 이후).\n"
    "지워진 사실을 변경 기록에 남겼습니다. 관리자에게 알리십시요.";

struct Trail {
    bool started = false;
    bool for_tool = false;
    TellOnce told;  // that rows wait in memory
    bool access_control = false;
    std::deque<AuditRow> pending;
    // The newest row this process wrote or found on the file (seq 0: none yet, -1: not read).
    long long known_seq = -1;
    std::string known_hash;
    // The newest row the file holds where it is not the one known: the trail was cut.
    std::optional<std::pair<long long, std::string>> cut;
};

Trail& TheTrail() {
    static auto* trail = new Trail;
    return *trail;
}

bool Writes() {
    return TheTrail().for_tool || !records::HistoryOff() || TheTrail().access_control;
}

// Chains the row to the newest on the file and adds it, with its place in the server's queue. The
// write lock is taken first, so that two processes on one file (the station, surge-users) never
// read the same newest row.
records::DbStatus Append(AuditRow* row) {
    records::Database* db = AccessDatabase();
    if (db == nullptr) {
        return records::DbStatus::Failed;
    }
    return db->Read([row](QSqlDatabase& file) {
        QSqlQuery query(file);
        if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            return records::StatusOf(query.lastError());
        }
        const auto failed = [&query] {
            const QSqlError error = query.lastError();
            query.exec(QStringLiteral("ROLLBACK"));
            return records::StatusOf(error);
        };
        if (!query.exec(QStringLiteral("SELECT seq, hash FROM audit ORDER BY seq DESC LIMIT 1"))) {
            return failed();
        }
        const bool first = !query.next();
        const long long newest = first ? 0 : query.value(0).toLongLong();
        const std::string newest_hash = first ? GENESIS : query.value(1).toString().toStdString();
        Trail& t = TheTrail();
        // Rows newer than the known are another process's (surge-users); fewer, or another at
        // the known's seq, were taken away.
        if (t.known_seq >= 0 &&
            (newest < t.known_seq || (newest == t.known_seq && newest_hash != t.known_hash))) {
            t.cut = std::make_pair(newest, newest_hash);
            query.exec(QStringLiteral("ROLLBACK"));
            return records::DbStatus::Failed;
        }
        row->seq = newest + 1;
        row->prev_hash = newest_hash;
        row->hash = Sha256Hex(CanonicalText(*row));
        query.finish();
        QStringList marks;
        for (std::size_t i = 0; i < records::AuditServerPlaces(records::WITNESS_LAYOUT).size();
             ++i) {
            marks << QStringLiteral("?");
        }
        if (!query.prepare(QStringLiteral("INSERT INTO audit (%1) VALUES (%2)")
                               .arg(QString::fromStdString(records::AuditRowColumns()),
                                    marks.join(QStringLiteral(", "))))) {
            return failed();
        }
        query.addBindValue(row->seq);
        for (const std::string* field :
             {&row->at, &row->station, &row->user, &row->role, &row->action, &row->object,
              &row->before, &row->after, &row->reason, &row->prev_hash, &row->hash,
              &row->software_version, &row->code}) {
            query.addBindValue(QString::fromStdString(*field));
        }
        if (!query.exec() ||
            !query.exec(
                QStringLiteral("INSERT OR IGNORE INTO audit_outbox VALUES (%1)").arg(row->seq)) ||
            !query.exec(QStringLiteral("COMMIT"))) {
            return failed();
        }
        t.known_seq = row->seq;
        t.known_hash = row->hash;
        return records::DbStatus::Ok;
    });
}

// The trail found cut: a row of its own says where, before any other is written.
void RecordCut() {
    Trail& t = TheTrail();
    AuditRow row = t.pending.front();
    row.action = AUDIT_TRAIL_CUT;
    row.code.clear();
    row.object = records::DATABASE_FILE;
    row.before = "seq " + std::to_string(t.known_seq) + " " + t.known_hash;
    row.after = "seq " + std::to_string(t.cut->first);
    row.reason.clear();
    surge_log::Write("warning", "the audit trail was cut: the station knew " + row.before +
                                    ", the file ends at " + row.after);
    if (!t.for_tool) {
        MessagePopup(WARNING_TITLE,
                     QString::fromUtf8(TRAIL_CUT).arg(t.cut->first).toUtf8().constData());
    }
    t.known_seq = t.cut->first;
    t.known_hash = t.cut->second;
    t.cut.reset();
    t.pending.push_front(row);
}

// Writes what waits, oldest first; stops at the first row the file does not take.
void Flush() {
    Trail& t = TheTrail();
    while (!t.pending.empty()) {
        if (AccessDatabase() == nullptr && !OpenAccessDatabase()) {
            break;
        }
        records::DbStatus status = Append(&t.pending.front());
        if (t.cut) {
            RecordCut();
            continue;
        }
        if (status == records::DbStatus::Damaged && !t.for_tool &&
            !records::SetAsideStationFile().isEmpty()) {
            status = Append(&t.pending.front());
        }
        if (status != records::DbStatus::Ok) {
            break;
        }
        t.pending.pop_front();
    }
    if (!t.pending.empty() && !t.for_tool && t.told.Due()) {
        MessagePopup(WARNING_TITLE, CANNOT_AUDIT);
    }
}

}  // namespace

void StartTrail(bool for_tool) {
    TheTrail().started = true;
    TheTrail().for_tool = for_tool;
    TheTrail().known_seq = -1;
    if (for_tool) {
        Flush();
        return;
    }
    // The station's file set aside, by whichever of its users found it damaged: the users, the
    // settings and the trail go on in the new file, and the break is a row of its own.
    records::WatchStationFile("access", {CloseAccessDatabase, [](const QString& aside) {
                                             TheTrail().known_seq = -1;
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

namespace {

void Add(const std::string& action, const std::string& object, const std::string& before,
         const std::string& after, const std::string& reason, const std::string& code) {
    AuditRow row;
    row.at = records::IsoTime(std::chrono::system_clock::now()).toStdString();
    row.station = records::StationName().toStdString();
    row.software_version = records::SoftwareVersion().toStdString();
    row.user = CurrentUser().name;
    row.role = CurrentUser().role;
    row.action = action;
    row.code = code;
    row.object = object;
    row.before = before;
    row.after = after;
    row.reason = reason;
    TheTrail().pending.push_back(row);
    Flush();
}

}  // namespace

void Audit(const std::string& action, const std::string& object, const std::string& before,
           const std::string& after, const std::string& reason, const std::string& code) {
    if (TheTrail().started && Writes()) {
        Add(action, object, before, after, reason, code);
    }
}

void AuditAlways(const std::string& action, const std::string& object, const std::string& before,
                 const std::string& after) {
    if (TheTrail().started) {
        Add(action, object, before, after, "", "");
    }
}

void SetAccessControl(bool on) {
    TheTrail().access_control = on;
}

long PendingAuditRows() {
    return static_cast<long>(TheTrail().pending.size());
}

}  // namespace trail
