#include "history/production.h"

#include <algorithm>
#include <vector>

#include "history/counts.h"
#include "settings/settings_in_force.h"

#include <QDate>
#include <QDateTime>

namespace history {

std::string ProductionCondition(bool has_reference_column) {
    return has_reference_column ? ProductionCondition().toStdString() : "1 = 1";
}

namespace {

// Wall-clock arithmetic, free of any time zone's changes.
QDateTime At(const QDate& date, int minute) {
    return QDateTime(date, QTime(0, 0), Qt::UTC).addSecs(static_cast<qint64>(minute) * 60);
}

}  // namespace

Period ShiftAt(int year, int month, int day, int minute) {
    return ShiftIn(settings::Settings().reference.shifts, year, month, day, minute);
}

Period ShiftIn(std::vector<int> shift_starts, int year, int month, int day, int minute) {
    std::sort(shift_starts.begin(), shift_starts.end());
    if (shift_starts.empty()) {
        shift_starts = settings::ReferenceSettings{}.shifts;
    }
    const QDate today(year, month, day);
    const QDateTime now = At(today, minute);
    // The last start at or before `now`, looking back into the day before for the night shift.
    QDateTime start = At(today.addDays(-1), shift_starts.back());
    for (int day_back = 1; day_back >= 0; --day_back) {
        for (int start_minute : shift_starts) {
            const QDateTime candidate = At(today.addDays(-day_back), start_minute);
            if (candidate <= now) {
                start = candidate;
            }
        }
    }
    QDateTime end = At(start.date().addDays(1), shift_starts.front());
    for (int start_minute : shift_starts) {
        const QDateTime candidate = At(start.date(), start_minute);
        if (candidate > start) {
            end = candidate;
            break;
        }
    }
    const QString format = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    return {start.toString(format).toStdString(), end.toString(format).toStdString()};
}

}  // namespace history
