#include "soak/history_check.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

RecordedCycles NewRecords() {
    static long long last_id = 0;
    RecordedCycles found;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                    QStringLiteral("surge_soak_check"));
        db.setDatabaseName(QStringLiteral("inspection_history.db"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(
                QStringLiteral("SELECT id, outcome FROM inspection WHERE id > ? ORDER BY id"));
            query.addBindValue(last_id);
            if (query.exec()) {
                while (query.next()) {
                    last_id = query.value(0).toLongLong();
                    found.last = query.value(1).toString().toStdString();
                    ++found.records;
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("surge_soak_check"));
    return found;
}
