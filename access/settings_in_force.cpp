#include "access/settings_in_force.h"

#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>
#include <memory>

#include "access/access_database.h"
#include "access/audit_row.h"
#include "access/audit_trail.h"
#include "records/database_file.h"
#include "records/history_switch.h"
#include "toolkit/toolkit.h"

namespace access_control {

namespace {

constexpr int WATCH_MS = 2000;
constexpr const char* UNREADABLE = "설정 파일 station.ini 에 문제가 있습니다: %1\n%2";
constexpr const char* KEEPING = "마지막으로 읽은 설정을 그대로 씁니다.";
constexpr const char* DEFAULTS = "읽어 둔 설정이 없어 기본 설정을 씁니다.";

struct Keeper {
    StationSettings settings;
    std::function<void()> changed;
    std::unique_ptr<QTimer> watch;
    QString seen;  // the file's size and time when it was last looked at
    QString told;  // the problem last told, so that each is told once
    bool started = false;
};

Keeper& TheKeeper() {
    static auto* keeper = new Keeper;
    return *keeper;
}

QString Seen() {
    const QFileInfo file(QString::fromLatin1(SETTINGS_FILE));
    return file.exists() ? QStringLiteral("%1 %2")
                               .arg(file.size())
                               .arg(file.lastModified().toMSecsSinceEpoch())
                         : QString();
}

// The file's keys; false, with the problem, when it cannot be read.
bool ReadFile(std::vector<Setting>* keys, std::string* problem) {
    QSettings file(QString::fromLatin1(SETTINGS_FILE), QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        *problem = file.status() == QSettings::AccessError ? "읽을 수 없는 파일" : "형식 오류";
        return false;
    }
    for (const QString& key : file.allKeys()) {
        // A value with commas ("06:00, 14:00") comes back as a list: the text as written.
        const QVariant value = file.value(key);
        const QString text = value.typeId() == QMetaType::QStringList
                                 ? value.toStringList().join(QStringLiteral(", "))
                                 : value.toString();
        keys->push_back({key.toStdString(), text.toStdString()});
    }
    return true;
}

std::vector<Setting> Stored() {
    std::vector<Setting> keys;
    records::Database* db = AccessDatabase();
    if (db == nullptr) {
        return keys;
    }
    db->Read([&keys](QSqlDatabase& file) {
        QSqlQuery query(file);
        if (!query.exec(QStringLiteral("SELECT key, value FROM settings ORDER BY key"))) {
            return records::StatusOf(query.lastError());
        }
        while (query.next()) {
            keys.push_back(
                {query.value(0).toString().toStdString(), query.value(1).toString().toStdString()});
        }
        return records::DbStatus::Ok;
    });
    return keys;
}

void Store(const StationSettings& settings) {
    records::Database* db = AccessDatabase();
    if (db == nullptr) {
        return;
    }
    db->Read([&settings](QSqlDatabase& file) {
        QSqlQuery query(file);
        if (!file.transaction() || !query.exec(QStringLiteral("DELETE FROM settings")) ||
            !query.prepare(QStringLiteral("INSERT INTO settings (key, value) VALUES (?, ?)"))) {
            file.rollback();
            return records::StatusOf(query.lastError());
        }
        for (const Setting& setting : SettingsAsKeys(settings)) {
            query.addBindValue(QString::fromStdString(setting.key));
            query.addBindValue(QString::fromStdString(setting.value));
            if (!query.exec()) {
                file.rollback();
                return records::StatusOf(query.lastError());
            }
        }
        return file.commit() ? records::DbStatus::Ok : records::DbStatus::Failed;
    });
}

void Tell(const std::string& problem, const char* what_now) {
    Keeper& k = TheKeeper();
    const QString text = QString::fromUtf8(UNREADABLE)
                             .arg(QString::fromStdString(problem), QString::fromUtf8(what_now));
    if (text != k.told) {
        k.told = text;
        MessagePopup(WARNING_TITLE, text.toUtf8().constData());
    }
}

// Puts `now` in force and keeps it; each key that changed is an audit row.
void Apply(const StationSettings& now) {
    Keeper& k = TheKeeper();
    const std::vector<Setting> before = SettingsAsKeys(k.settings);
    const std::vector<Setting> after = SettingsAsKeys(now);
    k.settings = now;
    Store(now);
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (before[i].value != after[i].value) {
            Audit(AUDIT_SETTINGS_CHANGED, after[i].key, before[i].value, after[i].value);
        }
    }
    if (before != after && k.started && k.changed) {
        k.changed();
    }
}

// What "station.ini" gives now: false, with the problem, when it cannot be read or contradicts
// itself. A missing file gives the defaults.
bool ReadCurrent(StationSettings* read, std::string* problem) {
    Keeper& k = TheKeeper();
    k.seen = Seen();
    *read = StationSettings{};
    std::vector<Setting> keys;
    return k.seen.isEmpty() || (ReadFile(&keys, problem) && SettingsFromKeys(keys, read, problem));
}

// The file as it is now: its settings put in force, or its problem told once.
void Check(bool kept_before) {
    StationSettings read;
    std::string problem;
    if (ReadCurrent(&read, &problem)) {
        TheKeeper().told.clear();
        Apply(read);
    } else {
        Tell(problem, kept_before ? KEEPING : DEFAULTS);
    }
}

}  // namespace

const StationSettings& Settings() {
    return TheKeeper().settings;
}

void StartSettings(std::function<void()> changed) {
    Keeper& k = TheKeeper();
    StopSettings();
    CloseAccessDatabase();
    k = Keeper{};
    // What was in force last: the settings last read well, in the station's file when it is kept.
    if (!records::HistoryOff() || QFileInfo::exists(QString::fromLatin1(records::DATABASE_FILE))) {
        OpenAccessDatabase();
    }
    std::string ignored;
    const std::vector<Setting> stored = Stored();
    const bool kept = !stored.empty() && SettingsFromKeys(stored, &k.settings, &ignored);
    // The start-up's own changes are the trail's first rows.
    StartTrail();
    Check(kept);
    k.changed = std::move(changed);
    k.started = true;
    k.watch = std::make_unique<QTimer>();
    QObject::connect(k.watch.get(), &QTimer::timeout, [] {
        if (Seen() != TheKeeper().seen) {
            Check(true);
        }
    });
    k.watch->start(WATCH_MS);
}

void StopSettings() {
    Keeper& k = TheKeeper();
    k.watch.reset();
    k.started = false;
}

void CheckSettingsFile() {
    Check(true);
}

}  // namespace access_control
