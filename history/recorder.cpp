// Recording the cycles: the database is opened at start-up and written once per cycle. A write
// that fails keeps the records in memory and turns recording off until a later cycle writes
// them; a damaged file is set aside and a new one begun. The operator hears of each once.
#include "history/recorder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "history/history_off.h"
#include "history/shift_counts.h"
#include "records/database.h"
#include "records/forwarder.h"
#include "records/record_fields.h"
#include "records/server_config.h"
#include "toolkit/toolkit.h"

namespace history {

namespace {

using records::Database;
using records::DbStatus;
using records::Forwarder;
using records::InspectionRow;

constexpr const char* CANNOT_RECORD =
    "검사 이력을 기록할 수 없습니다 (inspection_history.db).\n"
    "검사는 계속할 수 있습니다. 폴더의 쓰기 권한과 디스크 여유 공간을 확인하십시요.";
constexpr const char* DAMAGED_FILE_SET_ASIDE =
    "검사 이력 파일이 손상되어 %s 로 옮겼습니다.\n새 이력 파일에 기록합니다.";
constexpr const char* SERVER_SETTING =
    "검사 이력 서버 설정을 쓸 수 없습니다: %s\n검사 이력은 이 검사기에만 기록됩니다.";
// Records kept in memory while the database cannot take them (a week of a busy line).
constexpr std::size_t MOST_PENDING = 50000;

struct Recorder {
    bool started = false;
    bool disabled = false;  // SURGE_HISTORY=off
    bool recording = false;
    bool told_cannot_record = false;
    bool told_damaged = false;
    bool told_setting = false;
    Strip strip;
    std::unique_ptr<Database> db;
    std::deque<InspectionRow> pending;
    QDate day;
    Counts today;
    QString station;
    std::unique_ptr<Forwarder> forwarder;
    std::unique_ptr<QTimer> midnight;  // turns the strip to the new day
};

// Never destroyed at exit: Qt SQL's own state may be gone by then.
Recorder& TheRecorder() {
    static auto* instance = new Recorder;
    return *instance;
}

std::deque<std::string>& Untold() {
    static auto* texts = new std::deque<std::string>;
    return *texts;
}

void ShowWarning(void*) {
    if (!Untold().empty()) {
        const std::string text = Untold().front();
        Untold().pop_front();
        MessagePopup(WARNING_TITLE, text.c_str());
    }
}

void Tell(const std::string& text) {
    Untold().push_back(text);
    // After the running cycle: its verdict and its own messages come first.
    PostDeferredCall(ShowWarning, nullptr);
}

void Tell(bool* told, const std::string& text) {
    if (!*told) {
        *told = true;
        Tell(text);
    }
}

// With a server set, records are queued for it and a forwarder sends them.
void StartForwarding() {
    Recorder& r = TheRecorder();
    QString error;
    const std::optional<records::ServerConfig> server = records::ReadServerConfig(&error);
    if (!error.isEmpty()) {
        char text[1024];
        std::snprintf(text, sizeof text, SERVER_SETTING, error.toUtf8().constData());
        Tell(&r.told_setting, text);
    }
    if (!server) {
        return;
    }
    r.db->QueueForServer(true);
    Forwarder::Events events;
    events.waiting = [](long waiting) { ShowWaiting(TheRecorder().strip, waiting); };
    events.warn = [](const QString& text) { Tell(text.toStdString()); };
    r.forwarder = std::make_unique<Forwarder>(
        *server, QFileInfo(QString::fromLatin1(records::DATABASE_FILE)).absoluteFilePath(), events);
}

// Sets the damaged file aside and begins a new one.
bool BeginNewFile() {
    Recorder& r = TheRecorder();
    r.db->Close();
    const QString aside = records::SetAside(QString::fromLatin1(records::DATABASE_FILE),
                                            QDateTime::currentDateTime());
    if (aside.isEmpty()) {
        return false;
    }
    char text[512];
    std::snprintf(text, sizeof text, DAMAGED_FILE_SET_ASIDE,
                  QFileInfo(aside).fileName().toUtf8().constData());
    Tell(&r.told_damaged, text);
    const bool opened = r.db->Open(QString::fromLatin1(records::DATABASE_FILE)) == DbStatus::Ok;
    if (r.forwarder) {
        r.forwarder->ReopenLocal();
    }
    return opened;
}

bool OpenDatabase() {
    Recorder& r = TheRecorder();
    const DbStatus status = r.db->Open(QString::fromLatin1(records::DATABASE_FILE));
    return status == DbStatus::Ok || (status == DbStatus::Damaged && BeginNewFile());
}

// Today's counts as the database holds them, and those waiting to be written.
void Recount(const QDate& day) {
    Recorder& r = TheRecorder();
    r.day = day;
    r.today = Counts{};
    if (r.db->IsOpen() && CountDay(r.db.get(), day, &r.today) != DbStatus::Ok) {
        r.today = Counts{};
    }
    for (const InspectionRow& row : r.pending) {
        if (records::LocalDay(row.inspection.started_at) == day) {
            CountCycle(row.inspection.outcome, &r.today);
        }
    }
}

void TurnOver();

// Sets the strip's turn to the next day for the coming local midnight.
void AwaitMidnight() {
    Recorder& r = TheRecorder();
    if (QCoreApplication::instance() == nullptr) {
        return;
    }
    if (!r.midnight) {
        r.midnight = std::make_unique<QTimer>();
        r.midnight->setSingleShot(true);
        r.midnight->setTimerType(Qt::PreciseTimer);
        QObject::connect(r.midnight.get(), &QTimer::timeout, [] { TurnOver(); });
    }
    const QDateTime now = QDateTime::currentDateTime();
    r.midnight->start(static_cast<int>(
        std::max<qint64>(now.msecsTo(QDateTime(now.date().addDays(1), QTime(0, 0))), 1)));
}

// At midnight the strip shows the new day's counts, whether or not a cycle runs; a timer that
// fired early waits on.
void TurnOver() {
    Recorder& r = TheRecorder();
    if (const QDate today = QDate::currentDate(); today != r.day) {
        Recount(today);
        ShowCounts(r.strip, r.today, r.recording);
    }
    AwaitMidnight();
}

// Writes every pending record in one commit.
bool WritePending() {
    Recorder& r = TheRecorder();
    if (!r.db->IsOpen() && !OpenDatabase()) {
        return false;
    }
    const std::vector<InspectionRow> rows(r.pending.begin(), r.pending.end());
    DbStatus status = r.db->Insert(rows);
    if (status == DbStatus::Damaged && BeginNewFile()) {
        status = r.db->Insert(rows);
    }
    if (status != DbStatus::Ok) {
        return false;
    }
    r.pending.clear();
    return true;
}

}  // namespace

void Start(const Strip& strip) {
    Recorder& r = TheRecorder();
    Stop();
    r = Recorder{};
    r.started = true;
    r.strip = strip;
    r.station = records::StationName();
    r.disabled = HistoryOff();
    r.db = std::make_unique<Database>(QStringLiteral("surge_history_recorder"));
    if (!r.disabled) {
        StartForwarding();
        r.recording = OpenDatabase();
        if (!r.recording) {
            Tell(&r.told_cannot_record, CANNOT_RECORD);
        }
    }
    Recount(QDate::currentDate());
    ShowCounts(r.strip, r.today, r.recording);
    ShowWaiting(r.strip, -1);
    AwaitMidnight();
}

void Record(const Inspection& inspection) {
    Recorder& r = TheRecorder();
    if (!r.started) {
        return;
    }
    if (!r.disabled) {
        if (r.pending.size() >= MOST_PENDING) {
            r.pending.pop_front();
        }
        r.pending.push_back(
            InspectionRow{inspection, records::NewUuid(inspection.started_at), r.station});
        r.recording = WritePending();
        if (r.recording && r.forwarder) {
            r.forwarder->Wake();
        }
        if (!r.recording) {
            Tell(&r.told_cannot_record, CANNOT_RECORD);
        }
    }
    // A new day is counted afresh: the file's records and those pending, this cycle's among them.
    const QDate today = QDate::currentDate();
    const bool counted = today != r.day && !r.disabled;
    if (today != r.day) {
        Recount(today);
    }
    if (!counted && records::LocalDay(inspection.started_at) == today) {
        CountCycle(inspection.outcome, &r.today);
    }
    ShowCounts(r.strip, r.today, r.recording);
}

long Waiting() {
    const Recorder& r = TheRecorder();
    return r.forwarder ? r.forwarder->Waiting() : -1;
}

void Stop() {
    Recorder& r = TheRecorder();
    if (r.started && !r.pending.empty()) {
        WritePending();  // a last try for the records held back
    }
    r.midnight.reset();
    r.forwarder.reset();
    r.db.reset();
    r.started = false;
}

}  // namespace history
