#include "history/shift_counts.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

#include "toolkit/toolkit.h"

namespace history {

records::DbStatus CountDay(records::Database* db, const QDate& day, Counts* counts) {
    return db->Read([&day, counts](QSqlDatabase& connection) {
        QSqlQuery query(connection);
        query.prepare(QStringLiteral(
            "SELECT COUNT(*), TOTAL(outcome = 'O.K'), TOTAL(outcome = 'N.G') FROM inspection "
            "WHERE started_at >= ? AND started_at < ? AND outcome IN ('O.K', 'N.G')"));
        query.addBindValue(day.toString(Qt::ISODate));
        query.addBindValue(day.addDays(1).toString(Qt::ISODate));
        if (!query.exec() || !query.next()) {
            return records::StatusOf(query.lastError());
        }
        *counts = {query.value(0).toLongLong(), query.value(1).toLongLong(),
                   query.value(2).toLongLong()};
        return records::DbStatus::Ok;
    });
}

void CountCycle(Outcome outcome, Counts* counts) {
    if (outcome == Outcome::OK) {
        ++counts->tested;
        ++counts->ok;
    } else if (outcome == Outcome::NG) {
        ++counts->tested;
        ++counts->ng;
    }
}

std::string YieldText(const Counts& counts) {
    if (counts.tested == 0) {
        return "-";
    }
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%",
                  100.0 * static_cast<double>(counts.ok) / static_cast<double>(counts.tested));
    return text;
}

void ShowCounts(const Strip& strip, const Counts& counts, bool recording) {
    if (strip.panel <= 0) {
        return;
    }
    SetCtrlVal(strip.panel, strip.tested, std::to_string(counts.tested).c_str());
    SetCtrlVal(strip.panel, strip.ok, std::to_string(counts.ok).c_str());
    SetCtrlVal(strip.panel, strip.ng, std::to_string(counts.ng).c_str());
    SetCtrlVal(strip.panel, strip.yield, YieldText(counts).c_str());
    SetCtrlAttribute(strip.panel, strip.recording, ATTR_VISIBLE, recording ? 1 : 0);
    SetCtrlAttribute(strip.panel, strip.recording_off, ATTR_VISIBLE, recording ? 0 : 1);
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
