#include "settings/settings_in_force.h"

#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "records/database_file.h"
#include "records/history_switch.h"
#include "toolkit/toolkit.h"
#include "trail/access_database.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"
#include "trail/trail_meaning.h"

namespace settings {

namespace {

constexpr int WATCH_MS = 2000;
constexpr const char* UNREADABLE = "설정 파일 station.ini 에 문제가 있습니다: %1\n%2";
constexpr const char* KEEPING = "마지막으로 읽은 설정을 그대로 씁니다.";
constexpr const char* DEFAULTS = "읽어 둔 설정이 없어 기본 설정을 씁니다.";

struct Keeper {
    StationSettings settings;
    std::unique_ptr<QTimer> watch;
    QString seen;  // the file's size and time when it was last looked at
    QString told;  // the problem last told, so that each is told once
    bool started = false;
};

Keeper& TheKeeper() {
    static auto* keeper = new Keeper;
    return *keeper;
}

using Listeners = std::vector<std::pair<std::string, std::function<void()>>>;

Listeners& TheListeners() {
    static auto* listeners = new Listeners;
    return *listeners;
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
    records::Database* db = trail::AccessDatabase();
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
    records::Database* db = trail::AccessDatabase();
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

void AuditChange(const std::string& key, const std::string& before, const std::string& after) {
    trail::Audit(trail::AUDIT_SETTINGS_CHANGED, key, before, after);
}

void AuditAlways(const std::string& key, const std::string& before, const std::string& after) {
    trail::AuditAlways(trail::AUDIT_SETTINGS_CHANGED, key, before, after);
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

// The settings the trail vouches for: the defaults, each key as its last "settings changed" row
// left it, rows out of the chain's time order passed over. False when the trail cannot be read.
bool Audited(StationSettings* audited, bool* any) {
    records::Database* db = trail::AccessDatabase();
    if (db == nullptr) {
        return false;
    }
    std::vector<Setting> keys = SettingsAsKeys(StationSettings{});
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const records::DbStatus status = db->Read([&](QSqlDatabase& file) {
        QSqlQuery query(file);
        query.setForwardOnly(true);
        if (!query.exec(
                QStringLiteral(
                    "SELECT a.object, a.after_value, a.at, COALESCE((SELECT p.at FROM audit p "
                    "WHERE "
                    "p.seq = a.seq - 1), '') FROM audit a WHERE a.action = '%1' ORDER BY a.seq")
                    .arg(QLatin1String(trail::AUDIT_SETTINGS_CHANGED)))) {
            return records::StatusOf(query.lastError());
        }
        while (query.next()) {
            if (!trail::InTimeOrder(query.value(2).toString().toStdString(),
                                    query.value(3).toString().toStdString(), now)) {
                continue;
            }
            const std::string key = query.value(0).toString().toStdString();
            for (Setting& setting : keys) {
                if (setting.key == key) {
                    setting.value = query.value(1).toString().toStdString();
                    *any = true;
                }
            }
        }
        return records::DbStatus::Ok;
    });
    std::string ignored;
    return status == records::DbStatus::Ok && SettingsFromKeys(keys, audited, &ignored);
}

// Puts `now` in force and keeps it; each key that changed is an audit row first, written (or
// kept to be written before any other) before the change takes effect. A change that turns access
// control on or off is written even where the trail otherwise is not.
void Apply(const StationSettings& now) {
    Keeper& k = TheKeeper();
    const std::vector<Setting> before = SettingsAsKeys(k.settings);
    const std::vector<Setting> after = SettingsAsKeys(now);
    const bool access = k.settings.access.enabled || now.access.enabled;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (before[i].value != after[i].value) {
            (access ? AuditAlways : AuditChange)(after[i].key, before[i].value, after[i].value);
        }
    }
    k.settings = now;
    trail::SetAccessControl(now.access.enabled);
    Store(now);
    if (before != after && k.started) {
        // A copy: a listener may stop listening.
        const Listeners listeners = TheListeners();
        for (const auto& listener : listeners) {
            listener.second();
        }
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

// The file as it is now: its settings put in force, or its problem told once. At start-up a file
// that cannot be read leaves the settings last read well (the table `settings`) to be put in
// force, each that differs from what the trail vouches for audited first.
void Check(bool kept_before, bool starting = false) {
    StationSettings read;
    std::string problem;
    if (ReadCurrent(&read, &problem)) {
        TheKeeper().told.clear();
        Apply(read);
        return;
    }
    std::string ignored;
    const std::vector<Setting> stored = starting ? Stored() : std::vector<Setting>();
    if (!stored.empty() && SettingsFromKeys(stored, &read, &ignored)) {
        Apply(read);
    }
    Tell(problem, kept_before ? KEEPING : DEFAULTS);
}

}  // namespace

const StationSettings& Settings() {
    return TheKeeper().settings;
}

void StartSettings() {
    Keeper& k = TheKeeper();
    StopSettings();
    trail::CloseAccessDatabase();
    k = Keeper{};
    // What was in force last: the settings last read well, in the station's file when it is kept.
    if (!records::HistoryOff() || QFileInfo::exists(QString::fromLatin1(records::DATABASE_FILE))) {
        trail::OpenAccessDatabase();
    }
    // In force before this start: what the trail vouches for; without a trail to read, the
    // settings last read well, as the file keeps them.
    bool audited_any = false;
    std::string ignored;
    const std::vector<Setting> stored = Stored();
    const bool audited = Audited(&k.settings, &audited_any);
    if (!audited) {
        SettingsFromKeys(stored, &k.settings, &ignored);
    }
    const bool kept = audited_any || !stored.empty();
    trail::SetAccessControl(k.settings.access.enabled);
    // The start-up's own changes are the trail's first rows.
    trail::StartTrail();
    Check(kept, audited);
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

void ListenToSettings(const std::string& who, std::function<void()> listener) {
    Listeners& listeners = TheListeners();
    const auto known = std::find_if(listeners.begin(), listeners.end(),
                                    [&who](const auto& l) { return l.first == who; });
    if (known != listeners.end()) {
        known->second = std::move(listener);
    } else {
        listeners.emplace_back(who, std::move(listener));
    }
}

void StopListening(const std::string& who) {
    std::erase_if(TheListeners(), [&who](const auto& l) { return l.first == who; });
}

void CheckSettingsFile() {
    Check(true);
}

}  // namespace settings
