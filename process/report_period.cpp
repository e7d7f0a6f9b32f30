#include "process/report_period.h"

#include <QDateTime>

#include "history/production.h"

namespace process {

namespace {

const QString AT_FORMAT = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// The moment an end names; a bare day as the end means the day after it began.
bool Moment(const std::string& text, bool end, QString* at) {
    QString value = QString::fromStdString(text).trimmed();
    value.replace(QLatin1Char(' '), QLatin1Char('T'));
    const QDate day = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
    if (day.isValid()) {
        *at = QDateTime(end ? day.addDays(1) : day, QTime(0, 0), Qt::UTC).toString(AT_FORMAT);
        return true;
    }
    for (const QString& format :
         {QStringLiteral("yyyy-MM-ddTHH:mm"), QStringLiteral("yyyy-MM-ddTHH:mm:ss")}) {
        const QDateTime moment = QDateTime::fromString(value, format);
        if (moment.isValid()) {
            *at = moment.toString(AT_FORMAT);
            return true;
        }
    }
    return false;
}

}  // namespace

bool ReportPeriod(const std::string& from, const std::string& to, int year, int month, int day,
                  int minute, history::Filter* filter, std::string* error) {
    if (from.empty() && to.empty()) {
        const history::Period shift = history::ShiftAt(year, month, day, minute);
        filter->from_at = shift.from_at;
        filter->to_at = shift.to_at;
        return true;
    }
    if (from.empty() || to.empty()) {
        *error = "give both --from and --to, or neither for the current shift";
        return false;
    }
    QString lo, hi;
    if (!Moment(from, false, &lo)) {
        *error = "--from \"" + from + "\" is no date (YYYY-MM-DD or YYYY-MM-DD HH:MM)";
        return false;
    }
    if (!Moment(to, true, &hi)) {
        *error = "--to \"" + to + "\" is no date (YYYY-MM-DD or YYYY-MM-DD HH:MM)";
        return false;
    }
    if (lo >= hi) {
        *error = "the period is empty: --from is not before --to";
        return false;
    }
    filter->from_at = lo.toStdString();
    filter->to_at = hi.toStdString();
    return true;
}

}  // namespace process
