// The history's file taken from under the running station (a backup tool restoring an old copy
// over it, a hand deleting it): the station puts the file it has open back into its place, keeps
// the stranger aside, and every record, the outbox and the chain go on there.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <filesystem>
#include <functional>

#include "tests/history/history_fixture.h"

namespace {

namespace fs = std::filesystem;
namespace tt = toolkit_testing;

// An SQLite file of someone else's, as a restore would put it in the path's place.
void MakeStranger(const std::string& path) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "stranger");
        db.setDatabaseName(QString::fromStdString(path));
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec("CREATE TABLE stranger (x)"));
    }
    QSqlDatabase::removeDatabase("stranger");
}

// The event loop for `ms`, then the calls it posted: the station idle between two units.
void Idle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    tt::RunDeferredCalls();
}

class FileWatchTest : public HistoryTest {};

TEST_F(FileWatchTest, AFileReplacedOrDeletedWhileOpenIsPutBackWithEveryRecord) {
    const struct Case {
        const char* name;
        std::function<void()> take;
        bool at_a_cycle;  // found after the next cycle's commit, else while idle
        const char* warning;
        int strangers_aside;
    } cases[] = {
        {"an old copy renamed over it",
         [] {
             MakeStranger("copy.db");
             fs::rename("copy.db", HISTORY_FILE);
         },
         true, "다른 파일로 바뀌었습니다", 1},
        {"deleted", [] { fs::remove(HISTORY_FILE); }, true, "지워졌습니다", 0},
        {"deleted while idle", [] { fs::remove(HISTORY_FILE); }, false, "지워졌습니다", 0},
    };
    Connect({"--noise", "0"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        history::Stop();
        for (const char* name : {"", "-wal", "-shm"}) {
            fs::remove(std::string(HISTORY_FILE) + name);
        }
        tt::ClearShownPopups();
        Start_history();
        Cycle("A");
        Cycle("B");
        c.take();
        if (c.at_a_cycle) {
            Cycle("C");
        } else {
            Idle(2500);
            Cycle("C");
        }
        Cycle("D");
        tt::RunDeferredCalls();
        ASSERT_EQ(Warnings(), 1);
        EXPECT_NE(tt::ShownPopups()[0].text.find(c.warning), std::string::npos);
        EXPECT_EQ(StripShown()[4], "on");
        EXPECT_EQ(Query("SELECT group_concat(serial, ''), COUNT(DISTINCT seq), MAX(seq) FROM "
                        "(SELECT serial, seq FROM inspection ORDER BY seq)"),
                  (FileRows{{"ABCD", "4", "4"}}));
        EXPECT_EQ(Query("SELECT COUNT(*) FROM outbox"), (FileRows{{"4"}}));
        int aside = 0;
        for (const auto& entry : fs::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("inspection_history-replaced-", 0) == 0 && name.size() > 3 &&
                name.substr(name.size() - 3) == ".db") {
                ++aside;
                EXPECT_EQ(QueryFile("SELECT COUNT(*) FROM stranger", name), (FileRows{{"0"}}));
                fs::remove(name);
            }
        }
        EXPECT_EQ(aside, c.strangers_aside);
        EXPECT_EQ(fs::status(HISTORY_FILE).permissions() & fs::perms::others_read, fs::perms::none);
    }
}

}  // namespace
