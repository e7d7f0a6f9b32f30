// Recording the cycles: the database is opened at start-up and each cycle writes its own record.
// A write that fails keeps the record in memory and turns recording off; what waits in memory is
// written after the cycle, a chunk at a time, never on the inspection's path. A damaged file is set
// aside, a new one begun and the damaged one's readable records carried into it, also after the
// cycle. The operator hears of each once.
#include "history/recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "history/drift_watch.h"
#include "history/recording_database.h"
#include "history/shift_counts.h"
#include "log/log.h"
#include "records/carry_over.h"
#include "records/database.h"
#include "records/forwarder.h"
#include "records/history_switch.h"
#include "records/record_fields.h"
#include "records/server_config.h"
#include "records/station_file.h"
#include "settings/settings_in_force.h"
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
constexpr const char* STATION_NAME_DIFFERS =
    "SURGE_STATION 은 %s 이지만 이 검사기의 이력 파일은 %s 의 것입니다.\n"
    "검사 이력은 %s 의 이름으로 기록됩니다. 검사기 이름 설정을 확인하십시요.";
constexpr const char* FILE_REPLACED =
    "검사 이력 파일(inspection_history.db)이 검사기 실행 중에 %s.\n"
    "열려 있던 검사 이력을 그 자리에 다시 써서 기록을 이어 갑니다. 잃은 기록은 없습니다.%s";
constexpr const char* FILE_NOT_RESTORED =
    "검사 이력 파일(inspection_history.db)이 검사기 실행 중에 바뀌었거나 지워졌는데,\n"
    "열려 있던 검사 이력을 그 자리에 다시 쓰지 못했습니다. 디스크 여유 공간과 폴더의 쓰기 권한을 "
    "확인하십시요. 검사 이력은 열려 있던 파일에 계속 기록합니다.";
constexpr const char* RESERVE_NOT_MADE =
    "디스크 여유 공간이 모자라 검사 이력의 예비 공간(%d MB)을 만들 수 없습니다.\n"
    "디스크가 가득 차면 검사 이력을 잃을 수 있습니다. 디스크 여유 공간을 확보하십시요.";
constexpr const char* DISK_FULL =
    "디스크가 가득 찼습니다. 검사 이력을 예비 공간에 기록했습니다.\n"
    "예비 공간도 곧 찹니다. 지금 디스크 여유 공간을 확보하십시요.";
// The reserve: a file of its own beside the database.
constexpr const char* RESERVE_FILE = "inspection_history.reserve";
// A write that fails with less than this free is taken for a full disk.
constexpr qint64 FULL_BELOW = 1 << 20;
// How often the file's path is looked at while no cycle runs.
constexpr int WATCH_MS = 2000;
constexpr const char* RECORDS_LOST =
    "검사 이력을 기록하지 못한 채 메모리에 %lld 건이 쌓여, 가장 오래된 기록부터 잃고 있습니다.\n"
    "디스크 여유 공간과 폴더의 쓰기 권한을 확인하십시요.";
constexpr const char* RECORDS_LOST_IN_ALL =
    "검사 이력 %lld 건을 기록하지 못하고 잃었습니다. 그 뒤의 기록은 모두 기록되었습니다.";
// Records kept in memory while the database cannot take them (a week of a busy line, about
// 40 MB); past that the oldest go, counted and told.
constexpr std::size_t MOST_PENDING = 50000;
// What is written after a cycle in one go, of the records held back or carried over.
constexpr int CHUNK = 500;
// After an upgrade of an older file that could not be written (it takes seconds on a large file),
// the next try comes no sooner than this, after a cycle.
constexpr auto UPGRADE_AGAIN_AFTER = std::chrono::minutes(10);

using Clock = std::chrono::steady_clock;

struct Recorder {
    bool started = false;
    bool disabled = false;  // SURGE_HISTORY=off
    bool recording = false;
    bool told_cannot_record = false;
    bool told_damaged = false;
    bool told_setting = false;
    bool told_losing = false;
    bool catching_up = false;  // a chunk of the held back or carried records is posted
    Strip strip;
    std::unique_ptr<Database> db;
    std::deque<InspectionRow> pending;
    long long lost = 0;
    Clock::time_point reopen_at;
    std::unique_ptr<records::CarryOver> carry;
    QDate day;
    Counts today;
    QString station;
    QString software_version;
    std::unique_ptr<Forwarder> forwarder;
    std::unique_ptr<QTimer> midnight;  // turns the strip to the new day
    std::unique_ptr<QTimer> watch;     // looks at the file's path while no cycle runs
    bool told_not_restored = false;
    bool disk_full = false;  // the reserve given up: the disk had no room for a record
    DriftWatch drift;
    std::string drift_master;  // the master the strip's drift is of
    int drift_clean = 0;       // its tests in a row without a signal
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

void ShowQueues(long waiting, long refused) {
    ShowWaiting(TheRecorder().strip, waiting, refused);
}

// With a server set, a forwarder sends it what the outbox holds.
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
    Forwarder::Events events;
    events.counts = ShowQueues;
    events.warn = [](const QString& text) { Tell(text.toStdString()); };
    r.forwarder = std::make_unique<Forwarder>(
        *server, QFileInfo(QString::fromLatin1(records::DATABASE_FILE)).absoluteFilePath(), events);
}

void CatchUp(void*);

void PostCatchUp() {
    Recorder& r = TheRecorder();
    if (!r.catching_up) {
        r.catching_up = true;
        PostDeferredCall(CatchUp, nullptr);
    }
}

// The station's file set aside (by the recording or by another of its users): the recording
// begins on the new one, and the damaged one's readable records follow after the cycle.
void BegunAnew(const QString& aside) {
    Recorder& r = TheRecorder();
    if (r.disabled) {
        return;
    }
    if (r.db->Open(QString::fromLatin1(records::DATABASE_FILE)) == DbStatus::Ok) {
        records::NoteOpenStationFile();
    }
    if (r.forwarder) {
        r.forwarder->ReopenLocal();
    }
    if (aside.isEmpty()) {
        return;
    }
    char text[512];
    std::snprintf(text, sizeof text, DAMAGED_FILE_SET_ASIDE,
                  QFileInfo(aside).fileName().toUtf8().constData());
    Tell(&r.told_damaged, text);
    r.carry = std::make_unique<records::CarryOver>(aside);
    if (const auto& end = r.carry->ChainEnd(); end && end->first > 0) {
        r.db->ContinueChain(end->first, end->second);
    }
    PostCatchUp();
}

void WatchTheFile() {
    records::WatchStationFile("history", {[] {
                                              TheRecorder().db->Close();
                                              TheRecorder().carry.reset();
                                          },
                                          BegunAnew});
}

// Sets the damaged file aside and begins a new one.
bool BeginNewFile() {
    return !records::SetAsideStationFile().isEmpty() && TheRecorder().db->IsOpen();
}

bool OpenDatabase() {
    Recorder& r = TheRecorder();
    const DbStatus status = r.db->Open(QString::fromLatin1(records::DATABASE_FILE));
    const bool opened = status == DbStatus::Ok || (status == DbStatus::Damaged && BeginNewFile());
    if (status == DbStatus::Ok) {
        records::NoteOpenStationFile();
    }
    if (!opened && r.db->UpgradeFailed()) {
        r.reopen_at = Clock::now() + UPGRADE_AGAIN_AFTER;
    }
    return opened;
}

// A SURGE_STATION that names another station than the file keeps: the records go under the
// variable's name, and the server's witness refuses them if the login belongs to the other.
void TellNameConflict() {
    if (!records::StationNameConflict().isEmpty()) {
        const QString asked = records::StationName();
        Tell(QString::asprintf(STATION_NAME_DIFFERS, qPrintable(asked),
                               qPrintable(records::KeptStationName()), qPrintable(asked))
                 .toStdString());
    }
}

qint64 ReserveBytes() {
    return static_cast<qint64>(settings::Settings().history.reserve_mb) << 20;
}

// Makes the reserve of the size set (0: none), the space allocated on disk; false when the disk
// has no room for it.
bool MakeReserve() {
    const qint64 bytes = ReserveBytes();
    const QByteArray path = QFile::encodeName(QString::fromLatin1(RESERVE_FILE));
    if (bytes == 0) {
        ::unlink(path.constData());
        return true;
    }
    if (QFileInfo(QString::fromLatin1(RESERVE_FILE)).size() == bytes) {
        return true;
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0600);
    const bool made = fd >= 0 && ::ftruncate(fd, 0) == 0 && ::posix_fallocate(fd, 0, bytes) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!made) {
        ::unlink(path.constData());
    }
    return made;
}

// A write failed: where the disk is full and the reserve still there, it is given up so that what
// waits can be written, and the operator is told in red.
bool GiveUpReserve() {
    Recorder& r = TheRecorder();
    if (!QFileInfo::exists(QString::fromLatin1(RESERVE_FILE)) ||
        QStorageInfo(QDir::currentPath()).bytesAvailable() >= FULL_BELOW) {
        return false;
    }
    QFile::remove(QString::fromLatin1(RESERVE_FILE));
    surge_log::Write("warning", "the disk is full: the history's reserve is given up");
    r.disk_full = true;
    Tell(DISK_FULL);
    return true;
}

// Once the disk has room again the reserve is made anew, and the strip's red goes.
void RemakeReserve() {
    Recorder& r = TheRecorder();
    if (r.disk_full &&
        QStorageInfo(QDir::currentPath()).bytesAvailable() > ReserveBytes() + FULL_BELOW &&
        MakeReserve()) {
        r.disk_full = false;
        ShowCounts(r.strip, r.today, r.recording, r.disk_full);
    }
}

// The path names another file than the one open (a backup restored over it, a copy put back) or
// none (deleted): the open one, which holds every record, is copied back into its place, and every
// connection goes on there. The stranger is kept aside, untouched.
void KeepTheFile() {
    Recorder& r = TheRecorder();
    if (!r.started || r.disabled || !r.db->IsOpen() || !records::StationFileReplaced()) {
        return;
    }
    const bool deleted = !QFileInfo::exists(QString::fromLatin1(records::DATABASE_FILE));
    const records::Restored restored = records::RestoreStationFile([&r](const QString& copy) {
        bool copied = false;
        r.db->Read([&copy, &copied](QSqlDatabase& db) {
            copied = QSqlQuery(db).exec(QStringLiteral("VACUUM INTO '%1'").arg(copy));
            return DbStatus::Ok;
        });
        return copied;
    });
    surge_log::Write("warning", std::string("the history's file was ") +
                                    (deleted ? "deleted" : "replaced") + " while open; " +
                                    (restored.done ? "copied back" : "could not be copied back"));
    if (!restored.done) {
        Tell(&r.told_not_restored, FILE_NOT_RESTORED);
        return;
    }
    const std::string aside = restored.aside.isEmpty()
                                  ? std::string()
                                  : "\n그 자리에 있던 파일은 " +
                                        QFileInfo(restored.aside).fileName().toStdString() +
                                        " 로 옮겼습니다.";
    char text[1024];
    std::snprintf(text, sizeof text, FILE_REPLACED,
                  deleted ? "지워졌습니다" : "다른 파일로 바뀌었습니다", aside.c_str());
    Tell(text);
}

// Every 2 s: records held in memory are tried again, so that a line that stops after a failed
// write does not leave them there until the next cycle.
void KeepTheFileLater(void*) {
    KeepTheFile();
    RemakeReserve();
    if (!TheRecorder().pending.empty()) {
        PostCatchUp();
    }
}

void WatchThePath() {
    Recorder& r = TheRecorder();
    if (QCoreApplication::instance() == nullptr || r.disabled) {
        return;
    }
    r.watch = std::make_unique<QTimer>();
    // Posted: a deferred call waits for the running cycle.
    QObject::connect(r.watch.get(), &QTimer::timeout,
                     [] { PostDeferredCall(KeepTheFileLater, nullptr); });
    r.watch->start(WATCH_MS);
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
            CountCycle(row.inspection, &r.today);
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
        ShowCounts(r.strip, r.today, r.recording, r.disk_full);
    }
    AwaitMidnight();
}

// Writes `rows` in one commit, beginning a new file once when this one is damaged.
bool Write(const std::vector<InspectionRow>& rows) {
    Recorder& r = TheRecorder();
    DbStatus status = r.db->Insert(rows);
    if (status == DbStatus::Damaged && BeginNewFile()) {
        status = r.db->Insert(rows);
    }
    if (status != DbStatus::Ok) {
        return false;
    }
    if (r.forwarder) {
        r.forwarder->Wake();
    }
    return true;
}

// After the reserve was given up: the connection a failed write closed is opened again first.
bool WriteAgain(const std::vector<InspectionRow>& rows) {
    return (TheRecorder().db->IsOpen() || OpenDatabase()) && Write(rows);
}

// Keeps a record that could not be written, for a later chunk; past the bound the oldest goes.
void HoldBack(const InspectionRow& row) {
    Recorder& r = TheRecorder();
    if (r.pending.size() >= MOST_PENDING) {
        r.pending.pop_front();
        ++r.lost;
        char text[512];
        std::snprintf(text, sizeof text, RECORDS_LOST, static_cast<long long>(MOST_PENDING));
        Tell(&r.told_losing, text);
    }
    r.pending.push_back(row);
    Tell(&r.told_cannot_record, CANNOT_RECORD);
}

// After a cycle: a chunk of the records held back, then of those a damaged file still holds.
void CatchUp(void*) {
    Recorder& r = TheRecorder();
    r.catching_up = false;
    if (!r.started || (r.pending.empty() && !r.carry)) {
        return;
    }
    // The cycle's verdict is on the screen before the history catches up.
    ProcessDrawEvents();
    if (!r.db->IsOpen() && (Clock::now() < r.reopen_at || !OpenDatabase())) {
        return;
    }
    if (!r.pending.empty()) {
        const auto end = r.pending.begin() + std::min<std::size_t>(CHUNK, r.pending.size());
        const std::vector<InspectionRow> chunk(r.pending.begin(), end);
        if (!Write(chunk) && !(GiveUpReserve() && WriteAgain(chunk))) {
            r.recording = false;
            ShowCounts(r.strip, r.today, r.recording, r.disk_full);
            return;
        }
        r.pending.erase(r.pending.begin(), end);
        r.recording = true;
        if (r.pending.empty() && r.lost > 0) {
            char text[256];
            std::snprintf(text, sizeof text, RECORDS_LOST_IN_ALL, r.lost);
            Tell(text);
            r.lost = 0;
            r.told_losing = false;
        }
    } else if (!r.carry->Step(r.db.get(), CHUNK)) {
        r.carry.reset();
        Recount(r.day);
    } else if (r.forwarder) {
        r.forwarder->Wake();
    }
    ShowCounts(r.strip, r.today, r.recording, r.disk_full);
    // A zero timer, so that the operator's input comes between two chunks.
    QTimer::singleShot(0, [] { PostCatchUp(); });
}

}  // namespace

void Start(const Strip& strip) {
    Recorder& r = TheRecorder();
    Stop();
    r = Recorder{};
    r.started = true;
    r.strip = strip;
    r.station = records::StationName();
    r.software_version = records::SoftwareVersion();
    r.disabled = records::HistoryOff();
    r.db = std::make_unique<Database>(QStringLiteral("surge_history_recorder"));
    WatchTheFile();
    if (!r.disabled) {
        StartForwarding();
        r.recording = OpenDatabase();
        if (!r.recording) {
            Tell(&r.told_cannot_record, CANNOT_RECORD);
        }
        TellNameConflict();
        if (r.recording && !MakeReserve()) {
            char text[512];
            std::snprintf(text, sizeof text, RESERVE_NOT_MADE,
                          settings::Settings().history.reserve_mb);
            Tell(text);
        }
    }
    Recount(QDate::currentDate());
    ShowCounts(r.strip, r.today, r.recording, r.disk_full);
    ShowWaiting(r.strip, -1, 0);
    AwaitMidnight();
    WatchThePath();
}

Drift Record(const Inspection& inspection) {
    Recorder& r = TheRecorder();
    Drift drift;
    if (!r.started) {
        return drift;
    }
    if (!r.disabled) {
        const InspectionRow row{inspection, records::NewUuid(inspection.started_at), r.station,
                                r.software_version};
        r.recording = r.db->IsOpen() && Write({row});
        if (!r.recording && GiveUpReserve()) {
            r.recording = WriteAgain({row});
        }
        if (!r.recording) {
            HoldBack(row);
        } else {
            KeepTheFile();
        }
        if (!r.pending.empty() || r.carry) {
            PostCatchUp();
        }
        if (r.recording) {
            drift = r.drift.After(r.db.get(), inspection);
            if (inspection.master != r.drift_master) {
                r.drift_master = inspection.master;
                r.drift_clean = quality::RunRuleChecker::RUN_POINTS - 1;
            }
            ShowDrift(r.strip, drift,
                      records::IsoTime(inspection.started_at).mid(11, 5).toStdString(),
                      &r.drift_clean);
        }
    }
    // A new day is counted afresh: the file's records and those pending, this cycle's among them.
    const QDate today = QDate::currentDate();
    const bool counted = today != r.day && !r.disabled;
    if (today != r.day) {
        Recount(today);
    }
    if (!counted && records::LocalDay(inspection.started_at) == today) {
        CountCycle(inspection, &r.today);
    }
    ShowCounts(r.strip, r.today, r.recording, r.disk_full);
    return drift;
}

void RestartDrift() {
    TheRecorder().drift.Restart();
}

records::Database* RecordingDatabase() {
    Recorder& r = TheRecorder();
    return r.started && !r.disabled && r.db && r.db->IsOpen() ? r.db.get() : nullptr;
}

const std::deque<records::InspectionRow>& HeldBackRows() {
    return TheRecorder().pending;
}

long WriteWaiting() {
    Recorder& r = TheRecorder();
    if (!r.started || r.disabled) {
        return -1;
    }
    while (!r.pending.empty() && (r.db->IsOpen() || OpenDatabase())) {
        const auto end = r.pending.begin() + std::min<std::size_t>(CHUNK, r.pending.size());
        const std::vector<InspectionRow> chunk(r.pending.begin(), end);
        if (!Write(chunk) && !(GiveUpReserve() && WriteAgain(chunk))) {
            break;
        }
        r.pending.erase(r.pending.begin(), end);
    }
    r.recording = r.pending.empty() && r.db->IsOpen();
    ShowCounts(r.strip, r.today, r.recording, r.disk_full);
    return static_cast<long>(r.pending.size());
}

long Waiting() {
    const Recorder& r = TheRecorder();
    const long sent_from_file = r.forwarder ? r.forwarder->Waiting() : -1;
    // A record held in memory, not yet in the file, has not reached the server either.
    return sent_from_file < 0 ? sent_from_file
                              : sent_from_file + static_cast<long>(r.pending.size());
}

long Refused() {
    const Recorder& r = TheRecorder();
    return r.forwarder ? r.forwarder->Refused() : 0;
}

void Stop() {
    Recorder& r = TheRecorder();
    if (r.started && !r.pending.empty() && (r.db->IsOpen() || OpenDatabase())) {
        // A last try for the records held back.
        Write(std::vector<InspectionRow>(r.pending.begin(), r.pending.end()));
    }
    if (r.started && !r.pending.empty()) {
        surge_log::Write("stop", std::to_string(r.pending.size()) +
                                     " records could not be written to the history and are lost");
    }
    records::WatchStationFile("history", {});
    r.carry.reset();
    r.midnight.reset();
    r.watch.reset();
    r.db.reset();
    r.forwarder.reset();
    r.started = false;
}

}  // namespace history
