#include "history/trail_reads.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <chrono>
#include <vector>

#include "trail/audit_row.h"
#include "trail/trail_meaning.h"

namespace history {

namespace {

// Rows of the two line stop actions read back at most.
constexpr int MOST = 200;

struct StopRow {
    bool acknowledged = false;
    std::string code;
    std::string rule;
    QString at;
};

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The line stop rows of `master` (of `station`'s trail alone, when named), newest first, those out
// of their chain's time order passed over.
std::vector<StopRow> StopRows(QSqlDatabase& db, const std::string& master,
                              const std::string& station) {
    std::vector<StopRow> rows;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const bool one_station = !station.empty();
    query.prepare(
        QStringLiteral(
            "SELECT a.action, a.code, a.after_value, a.at, COALESCE((SELECT p.at FROM audit p "
            "WHERE p.seq = a.seq - 1%1), '') FROM audit a WHERE a.object = ? AND a.action IN "
            "(?, ?)%2 ORDER BY a.seq DESC LIMIT ?")
            .arg(one_station ? QStringLiteral(" AND p.station = a.station") : QString(),
                 one_station ? QStringLiteral(" AND a.station = ?") : QString()));
    query.addBindValue(QString::fromStdString(master));
    query.addBindValue(QLatin1String(trail::AUDIT_LINE_STOPPED));
    query.addBindValue(QLatin1String(trail::AUDIT_LINE_STOP_ACKNOWLEDGED));
    if (one_station) {
        query.addBindValue(QString::fromStdString(station));
    }
    query.addBindValue(MOST);
    if (!query.exec()) {
        return rows;
    }
    const long long now = NowMs();
    while (query.next()) {
        const QString at = query.value(3).toString();
        if (!trail::InTimeOrder(at.toStdString(), query.value(4).toString().toStdString(), now)) {
            continue;
        }
        rows.push_back(
            {query.value(0).toString() == QLatin1String(trail::AUDIT_LINE_STOP_ACKNOWLEDGED),
             query.value(1).toString().toStdString(), query.value(2).toString().toStdString(), at});
    }
    return rows;
}

}  // namespace

std::optional<QString> LastAcknowledged(QSqlDatabase& db, const std::string& master,
                                        const char* code, const std::string& station) {
    for (const StopRow& row : StopRows(db, master, station)) {
        if (row.acknowledged && (code == nullptr || row.code.empty() || row.code == code)) {
            return row.at;
        }
    }
    return std::nullopt;
}

std::optional<OpenStop> LastOpenStop(QSqlDatabase& db, const std::string& master,
                                     const std::string& station) {
    const std::vector<StopRow> rows = StopRows(db, master, station);
    if (rows.empty() || rows.front().acknowledged) {
        return std::nullopt;
    }
    return OpenStop{rows.front().code, rows.front().rule};
}

}  // namespace history
