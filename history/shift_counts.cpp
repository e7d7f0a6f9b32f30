#include "history/shift_counts.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "toolkit/toolkit.h"

namespace history {

records::DbStatus CountDay(records::Database* db, const QDate& day, Counts* counts) {
    return db->Read([&day, counts](QSqlDatabase& connection) {
        QSqlQuery query(connection);
        query.prepare(QStringLiteral("SELECT ") + CountsColumns() +
                      QStringLiteral(" FROM inspection WHERE started_at >= ? AND started_at < ?"));
        query.addBindValue(day.toString(Qt::ISODate));
        query.addBindValue(day.addDays(1).toString(Qt::ISODate));
        if (!query.exec() || !query.next()) {
            return records::StatusOf(query.lastError());
        }
        *counts = CountsAt(query, 0);
        return records::DbStatus::Ok;
    });
}

void ShowCounts(const Strip& strip, const Counts& counts, bool recording, bool disk_full) {
    if (strip.panel <= 0) {
        return;
    }
    SetCtrlVal(strip.panel, strip.tested, std::to_string(counts.tested).c_str());
    SetCtrlVal(strip.panel, strip.ok, std::to_string(counts.ok).c_str());
    SetCtrlVal(strip.panel, strip.ng, std::to_string(counts.ng).c_str());
    SetCtrlVal(strip.panel, strip.yield, YieldText(counts).c_str());
    if (strip.first_pass > 0) {
        SetCtrlVal(strip.panel, strip.first_pass, FirstPassText(counts).c_str());
    }
    const bool on = recording && !disk_full;
    SetCtrlVal(strip.panel, strip.recording_off, disk_full ? "디스크 가득" : "기록 중지");
    SetCtrlAttribute(strip.panel, strip.recording, ATTR_VISIBLE, on ? 1 : 0);
    SetCtrlAttribute(strip.panel, strip.recording_off, ATTR_VISIBLE, on ? 0 : 1);
}

void ShowWaiting(const Strip& strip, long waiting, long refused) {
    if (strip.panel <= 0 || strip.waiting <= 0) {
        return;
    }
    std::string text = "전송 대기 " + std::to_string(waiting);
    if (refused > 0) {
        text += " · 거부 " + std::to_string(refused);
    }
    SetCtrlVal(strip.panel, strip.waiting, text.c_str());
    SetCtrlAttribute(strip.panel, strip.waiting, ATTR_VISIBLE, waiting < 0 ? 0 : 1);
}

}  // namespace history
