#include "history/today_counts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "history/counts.h"
#include "history/disk_reserve.h"
#include "history/record_writer.h"
#include "history/recording_database.h"
#include "history/shift_counts.h"
#include "records/record_fields.h"

namespace history {

namespace {

struct Today {
    bool started = false;
    Strip strip;
    QDate day;
    Counts counts;
    std::unique_ptr<QTimer> midnight;  // turns the strip to the new day
};

Today& TheToday() {
    static auto* today = new Today;
    return *today;
}

// `day`'s counts as the database holds them, and those waiting to be written.
void Recount(const QDate& day) {
    Today& t = TheToday();
    t.day = day;
    t.counts = Counts{};
    records::Database* db = RecordingDatabase();
    if (db != nullptr && CountDay(db, day, &t.counts) != records::DbStatus::Ok) {
        t.counts = Counts{};
    }
    for (const records::InspectionRow& row : HeldBackRows()) {
        if (records::LocalDay(row.inspection.started_at) == day) {
            CountCycle(row.inspection, &t.counts);
        }
    }
}

void TurnOver();

// Sets the strip's turn to the next day for the coming local midnight.
void AwaitMidnight() {
    Today& t = TheToday();
    if (QCoreApplication::instance() == nullptr) {
        return;
    }
    if (!t.midnight) {
        t.midnight = std::make_unique<QTimer>();
        t.midnight->setSingleShot(true);
        t.midnight->setTimerType(Qt::PreciseTimer);
        QObject::connect(t.midnight.get(), &QTimer::timeout, [] { TurnOver(); });
    }
    const QDateTime now = QDateTime::currentDateTime();
    t.midnight->start(static_cast<int>(
        std::max<qint64>(now.msecsTo(QDateTime(now.date().addDays(1), QTime(0, 0))), 1)));
}

// At midnight the strip shows the new day's counts, whether or not a cycle runs; a timer that
// fired early waits on.
void TurnOver() {
    if (const QDate today = QDate::currentDate(); today != TheToday().day) {
        Recount(today);
        ShowToday();
    }
    AwaitMidnight();
}

}  // namespace

void StartCounts(const Strip& strip) {
    Today& t = TheToday();
    t = Today{};
    t.started = true;
    t.strip = strip;
    Recount(QDate::currentDate());
    ShowToday();
    AwaitMidnight();
}

void ShowToday() {
    const Today& t = TheToday();
    ShowCounts(t.strip, t.counts, Status().recording, DiskFull());
}

void RecountDay() {
    Recount(TheToday().day);
}

void CountToday(const Inspection& inspection) {
    Today& t = TheToday();
    if (!t.started) {
        return;
    }
    // A new day is counted afresh: the file's records and those held back, this cycle's among
    // them.
    const QDate today = QDate::currentDate();
    const bool counted = today != t.day && !Status().disabled;
    if (today != t.day) {
        Recount(today);
    }
    if (!counted && records::LocalDay(inspection.started_at) == today) {
        CountCycle(inspection, &t.counts);
    }
    ShowToday();
}

void StopCounts() {
    Today& t = TheToday();
    t.midnight.reset();
    t.started = false;
}

}  // namespace history
