// The rows a query gives on a SQLite file (the station's own by default), each column as text
// ("NULL" for a null), read on a connection of its own that is gone when they are returned.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <string>
#include <vector>

using FileRows = std::vector<std::vector<std::string>>;

inline FileRows QueryFile(const std::string& sql,
                          const std::string& file = "inspection_history.db") {
    FileRows rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "file_rows");
        db.setDatabaseName(QString::fromStdString(file));
        QSqlQuery query(db);
        if (db.open() && query.exec(QString::fromStdString(sql))) {
            while (query.next()) {
                std::vector<std::string> row;
                for (int i = 0; i < query.record().count(); ++i) {
                    const QVariant value = query.value(i);
                    row.push_back(value.isNull() ? "NULL" : value.toString().toStdString());
                }
                rows.push_back(row);
            }
        }
    }
    QSqlDatabase::removeDatabase("file_rows");
    return rows;
}

// Each row's columns joined by blanks.
inline std::vector<std::string> JoinedRows(const FileRows& rows) {
    std::vector<std::string> joined;
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (const std::string& column : row) {
            line += (line.empty() ? "" : " ") + column;
        }
        joined.push_back(line);
    }
    return joined;
}
