// The audit rows' panel: the station's audit trail, newest first, read on a connection of its own.
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <string>
#include <vector>

#include "access/login.h"
#include "history/history_panel.h"
#include "records/database_file.h"

int auditHandle = 0;

namespace {

constexpr const char* AUDIT_READER = "surge_audit_view";
constexpr int SHOWN_ROWS = 500;
constexpr int COLUMNS = 8;

int audit_return = 0;

// The newest rows' seq, time, user, role, action, object, before and after; false when the file
// cannot be read.
bool ReadNewest(std::vector<std::vector<std::string>>* rows, long long* total) {
    if (!QFileInfo::exists(QString::fromLatin1(records::DATABASE_FILE))) {
        return true;
    }
    bool read = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QString::fromLatin1(AUDIT_READER));
        db.setDatabaseName(QString::fromLatin1(records::DATABASE_FILE));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open()) {
            QSqlQuery query(db);
            read = query.exec(QStringLiteral("SELECT COUNT(*) FROM audit")) && query.next();
            *total = read ? query.value(0).toLongLong() : 0;
            read = read &&
                   query.exec(QStringLiteral(
                                  "SELECT seq, at, user_name, role, action, object, before_value, "
                                  "after_value FROM audit ORDER BY seq DESC LIMIT %1")
                                  .arg(SHOWN_ROWS));
            while (read && query.next()) {
                std::vector<std::string> row;
                for (int c = 0; c < COLUMNS; ++c) {
                    row.push_back(query.value(c).toString().toStdString());
                }
                rows->push_back(row);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(AUDIT_READER));
    return read;
}

}  // namespace

int History_audit(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT || !access_control::May(access_control::Command::VIEW_AUDIT)) {
        return 0;
    }
    if (auditHandle <= 0) {
        auditHandle = LoadPanel(0, "surge.uir", AUDIT);
        if (auditHandle < 0) {
            auditHandle = 0;
            MessagePopup(WARNING_TITLE, "변경 기록 화면을 불러올 수 없습니다.");
            return 0;
        }
        SetCtrlAttribute(auditHandle, AUDIT_TABLE, ATTR_TABLE_EDITABLE, 0);
    }
    std::vector<std::vector<std::string>> rows;
    long long total = 0;
    if (!ReadNewest(&rows, &total)) {
        MessagePopup(WARNING_TITLE, "변경 기록을 읽을 수 없습니다 (inspection_history.db).");
        return 0;
    }
    DeleteTableRows(auditHandle, AUDIT_TABLE, 1, -1);
    if (!rows.empty()) {
        InsertTableRows(auditHandle, AUDIT_TABLE, -1, static_cast<int>(rows.size()),
                        VAL_USE_MASTER_CELL_TYPE);
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < COLUMNS; ++c) {
            SetTableCellVal(auditHandle, AUDIT_TABLE, MakePoint(c + 1, static_cast<int>(r) + 1),
                            rows[r][static_cast<std::size_t>(c)].c_str());
        }
    }
    const std::string count =
        "변경 기록 " + std::to_string(total) + " 건" +
        (total > SHOWN_ROWS ? " (최근 " + std::to_string(SHOWN_ROWS) + " 건)" : std::string());
    SetCtrlVal(auditHandle, AUDIT_COUNT, count.c_str());
    audit_return = panel;
    HidePanel(panel);
    DisplayPanel(auditHandle);
    return 0;
}

int Audit_quit(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    DeleteTableRows(auditHandle, AUDIT_TABLE, 1, -1);
    HidePanel(auditHandle);
    DisplayPanel(audit_return);
    return 0;
}

void Hide_audit_panel() {
    if (auditHandle > 0) {
        HidePanel(auditHandle);
    }
}

void ResetAuditPanel() {
    if (auditHandle > 0) {
        DiscardPanel(auditHandle);
    }
    auditHandle = 0;
    audit_return = 0;
}
