// A write that fails keeps the record in memory and turns recording off; what waits in memory is
// written after the cycle, a chunk at a time, never on the inspection's path. The operator hears
// of each trouble once.
#include "history/record_writer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "history/disk_reserve.h"
#include "history/feed_start.h"
#include "history/recording_database.h"
#include "history/recording_warnings.h"
#include "log/log.h"
#include "records/carry_over.h"
#include "records/database.h"
#include "records/history_switch.h"
#include "records/record_fields.h"
#include "records/station_file.h"
#include "toolkit/toolkit.h"
#include "values/backlog.h"

namespace history {

namespace {

using records::Database;
using records::DbStatus;
using records::InspectionRow;

constexpr const char* CANNOT_RECORD =
    "검사 이력을 기록할 수 없습니다 (inspection_history.db).\n"
    "검사는 계속할 수 있습니다. 폴더의 쓰기 권한과 디스크 여유 공간을 확인하십시요.";
constexpr const char* DAMAGED_FILE_SET_ASIDE =
    "검사 이력 파일이 손상되어 %s 로 옮겼습니다.\n새 이력 파일에 기록합니다.";
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

struct Writer {
    WriterStatus status;
    WriterEvents events;
    QString station;
    QString software_version;
    std::unique_ptr<Database> db;
    Clock::time_point reopen_at;
    Backlog<InspectionRow> held{MOST_PENDING};  // the records the file could not take yet
    std::unique_ptr<records::CarryOver> carry;  // a damaged file's records still to carry
    PostedStep catch_up;                        // a chunk of either is posted
    std::unique_ptr<QTimer> watch;              // looks at the file's path while no cycle runs
    TellOnce told_cannot_record;
    TellOnce told_losing;
    TellOnce told_damaged;
    TellOnce told_not_restored;
};

// Never destroyed at exit: Qt SQL's own state may be gone by then.
Writer& TheWriter() {
    static auto* instance = new Writer;
    return *instance;
}

void Changed() {
    if (TheWriter().events.changed != nullptr) {
        TheWriter().events.changed();
    }
}

void CatchUp(void*);

void PostCatchUp() {
    if (TheWriter().catch_up.Post()) {
        PostDeferredCall(CatchUp, nullptr);
    }
}

// The station's file set aside (by the recording or by another of its users): the recording
// begins on the new one, and the damaged one's readable records follow after the cycle.
void BegunAnew(const QString& aside) {
    Writer& w = TheWriter();
    if (w.status.disabled) {
        return;
    }
    if (w.db->Open(QString::fromLatin1(records::DATABASE_FILE)) == DbStatus::Ok) {
        records::NoteOpenStationFile();
    }
    ReopenFeed();
    if (aside.isEmpty()) {
        return;
    }
    char text[512];
    std::snprintf(text, sizeof text, DAMAGED_FILE_SET_ASIDE,
                  QFileInfo(aside).fileName().toUtf8().constData());
    Tell(&w.told_damaged, text);
    w.carry = std::make_unique<records::CarryOver>(aside);
    if (const auto& end = w.carry->ChainEnd(); end && end->first > 0) {
        w.db->ContinueChain(end->first, end->second);
    }
    PostCatchUp();
}

void WatchTheFile() {
    records::WatchStationFile("history", {[] {
                                              TheWriter().db->Close();
                                              TheWriter().carry.reset();
                                          },
                                          BegunAnew});
}

// Sets the damaged file aside and begins a new one.
bool BeginNewFile() {
    return !records::SetAsideStationFile().isEmpty() && TheWriter().db->IsOpen();
}

bool OpenDatabase() {
    Writer& w = TheWriter();
    const DbStatus status = w.db->Open(QString::fromLatin1(records::DATABASE_FILE));
    const bool opened = status == DbStatus::Ok || (status == DbStatus::Damaged && BeginNewFile());
    if (status == DbStatus::Ok) {
        records::NoteOpenStationFile();
    }
    if (!opened && w.db->UpgradeFailed()) {
        w.reopen_at = Clock::now() + UPGRADE_AGAIN_AFTER;
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

// The path names another file than the one open (a backup restored over it, a copy put back) or
// none (deleted): the open one, which holds every record, is copied back into its place, and every
// connection goes on there. The stranger is kept aside, untouched.
void KeepTheFile() {
    Writer& w = TheWriter();
    if (!w.status.started || w.status.disabled || !w.db->IsOpen() ||
        !records::StationFileReplaced()) {
        return;
    }
    const bool deleted = !QFileInfo::exists(QString::fromLatin1(records::DATABASE_FILE));
    const records::Restored restored = records::RestoreStationFile([&w](const QString& copy) {
        bool copied = false;
        w.db->Read([&copy, &copied](QSqlDatabase& db) {
            copied = QSqlQuery(db).exec(QStringLiteral("VACUUM INTO '%1'").arg(copy));
            return DbStatus::Ok;
        });
        return copied;
    });
    surge_log::Write("warning", std::string("the history's file was ") +
                                    (deleted ? "deleted" : "replaced") + " while open; " +
                                    (restored.done ? "copied back" : "could not be copied back"));
    if (!restored.done) {
        Tell(&w.told_not_restored, FILE_NOT_RESTORED);
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
    if (RemakeReserve()) {
        // Once the disk has room again, the strip's red goes.
        Changed();
    }
    if (!TheWriter().held.Empty()) {
        PostCatchUp();
    }
}

// Writes `rows` in one commit, beginning a new file once when this one is damaged.
bool Write(const std::vector<InspectionRow>& rows) {
    Writer& w = TheWriter();
    DbStatus status = w.db->Insert(rows);
    if (status == DbStatus::Damaged && BeginNewFile()) {
        status = w.db->Insert(rows);
    }
    if (status != DbStatus::Ok) {
        return false;
    }
    WakeFeed();
    return true;
}

// After the reserve was given up: the connection a failed write closed is opened again first.
bool WriteAgain(const std::vector<InspectionRow>& rows) {
    return (TheWriter().db->IsOpen() || OpenDatabase()) && Write(rows);
}

// A write, and where the disk is full one more after the reserve is given up.
bool WriteOrGiveUpReserve(const std::vector<InspectionRow>& rows) {
    return Write(rows) || (GiveUpReserve() && WriteAgain(rows));
}

// Keeps a record that could not be written, for a later chunk; past the bound the oldest goes.
void HoldBack(const InspectionRow& row) {
    Writer& w = TheWriter();
    if (!w.held.KeepLast(row)) {
        char text[512];
        std::snprintf(text, sizeof text, RECORDS_LOST, static_cast<long long>(MOST_PENDING));
        Tell(&w.told_losing, text);
    }
    Tell(&w.told_cannot_record, CANNOT_RECORD);
}

// A chunk of the records held back written; false when the file would not take it.
bool WriteHeldChunk() {
    Writer& w = TheWriter();
    if (!w.held.WriteChunk(CHUNK, WriteOrGiveUpReserve)) {
        w.status.recording = false;
        return false;
    }
    w.status.recording = true;
    if (w.held.Empty() && w.held.Lost() > 0) {
        char text[256];
        std::snprintf(text, sizeof text, RECORDS_LOST_IN_ALL, w.held.TakeLost());
        Tell(text);
        w.told_losing.Again();
    }
    return true;
}

// After a cycle: a chunk of the records held back, then of those a damaged file still holds.
void CatchUp(void*) {
    Writer& w = TheWriter();
    w.catch_up.Taken();
    if (!w.status.started || (w.held.Empty() && !w.carry)) {
        return;
    }
    // The cycle's verdict is on the screen before the history catches up.
    ProcessDrawEvents();
    if (!w.db->IsOpen() && (Clock::now() < w.reopen_at || !OpenDatabase())) {
        return;
    }
    if (!w.held.Empty()) {
        if (!WriteHeldChunk()) {
            Changed();
            return;
        }
    } else if (!w.carry->Step(w.db.get(), CHUNK)) {
        w.carry.reset();
        if (w.events.carried != nullptr) {
            w.events.carried();
        }
    } else {
        WakeFeed();
    }
    Changed();
    // A zero timer, so that the operator's input comes between two chunks.
    QTimer::singleShot(0, [] { PostCatchUp(); });
}

}  // namespace

void StartWriter(const WriterEvents& events) {
    Writer& w = TheWriter();
    w = Writer{};
    w.events = events;
    w.status.started = true;
    w.station = records::StationName();
    w.software_version = records::SoftwareVersion();
    w.status.disabled = records::HistoryOff();
    w.db = std::make_unique<Database>(QStringLiteral("surge_history_recorder"));
    WatchTheFile();
}

void OpenForRecording() {
    Writer& w = TheWriter();
    if (w.status.disabled) {
        StartReserve(false);
        return;
    }
    w.status.recording = OpenDatabase();
    if (!w.status.recording) {
        Tell(&w.told_cannot_record, CANNOT_RECORD);
    }
    TellNameConflict();
    StartReserve(w.status.recording);
}

void WatchThePath() {
    Writer& w = TheWriter();
    if (QCoreApplication::instance() == nullptr || w.status.disabled) {
        return;
    }
    w.watch = std::make_unique<QTimer>();
    // Posted: a deferred call waits for the running cycle.
    QObject::connect(w.watch.get(), &QTimer::timeout,
                     [] { PostDeferredCall(KeepTheFileLater, nullptr); });
    w.watch->start(WATCH_MS);
}

WriterStatus Status() {
    return TheWriter().status;
}

records::Database* WriterDatabase() {
    return TheWriter().db.get();
}

bool WriteRecord(const Inspection& inspection, const WaveOpinion& opinion) {
    Writer& w = TheWriter();
    if (!w.status.started || w.status.disabled) {
        return false;
    }
    const InspectionRow row{inspection, records::NewUuid(inspection.started_at), w.station,
                            w.software_version, opinion};
    w.status.recording = w.db->IsOpen() && Write({row});
    if (!w.status.recording && GiveUpReserve()) {
        w.status.recording = WriteAgain({row});
    }
    if (!w.status.recording) {
        HoldBack(row);
    } else {
        KeepTheFile();
    }
    if (!w.held.Empty() || w.carry) {
        PostCatchUp();
    }
    return w.status.recording;
}

records::Database* RecordingDatabase() {
    const Writer& w = TheWriter();
    return w.status.started && !w.status.disabled && w.db && w.db->IsOpen() ? w.db.get() : nullptr;
}

const std::deque<records::InspectionRow>& HeldBackRows() {
    return TheWriter().held.Items();
}

long WriteWaiting() {
    Writer& w = TheWriter();
    if (!w.status.started || w.status.disabled) {
        return -1;
    }
    w.held.WriteAll(
        CHUNK, [&w] { return w.db->IsOpen() || OpenDatabase(); }, WriteOrGiveUpReserve);
    w.status.recording = w.held.Empty() && w.db->IsOpen();
    Changed();
    return static_cast<long>(w.held.Size());
}

void StopWriter() {
    Writer& w = TheWriter();
    if (w.status.started && !w.held.Empty() && (w.db->IsOpen() || OpenDatabase())) {
        // A last try for the records held back; those written leave the list.
        w.held.WriteChunk(w.held.Size(), Write);
    }
    if (w.status.started && !w.held.Empty()) {
        surge_log::Write("stop", std::to_string(w.held.Size()) +
                                     " records could not be written to the history and are lost");
    }
    records::WatchStationFile("history", {});
    w.carry.reset();
    w.watch.reset();
    w.db.reset();
    w.status.started = false;
}

}  // namespace history
