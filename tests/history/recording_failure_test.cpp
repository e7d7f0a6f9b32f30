// A history that cannot be written never stops the line: each cycle still shows its verdict, the
// operator is told once, the strip shows recording off, the master store is not touched; a
// damaged file is set aside and a new one begun; records held back are written once it can.
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include <QCoreApplication>

#include "history/recording_database.h"
#include "settings/settings_in_force.h"
#include "tests/history/history_fixture.h"
#include "tests/support/sample_inspection.h"

namespace {

namespace fs = std::filesystem;
namespace tt = toolkit_testing;

bool MountTmpfs(const std::string& dir, const char* size) {
    fs::create_directory(dir);
    const std::string options = std::string("size=") + size;
    return geteuid() == 0 &&
           mount("surge-history", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

// The station's reserve of `mb` megabytes, as "station.ini" sets it.
void Reserve(const char* mb) {
    WriteWholeFile("station.ini", std::string("[history]\nreserve_mb=") + mb + "\n");
    settings::StartSettings();
}

// Fills the disk of the working directory to its last byte.
void FillDisk() {
    const int fd = open("filler.bin", O_WRONLY | O_CREAT, 0644);
    const std::string block(4096, 'f');
    for (std::size_t size = block.size(); size > 0; size /= 2) {
        while (write(fd, block.data(), size) == static_cast<ssize_t>(size)) {
        }
    }
    close(fd);
}

struct Failure {
    const char* name;
    bool needs_mount;
    std::function<void()> before;  // in the working directory, before start-up
    std::function<void()> during;  // after start-up, before the cycles
    std::function<void()> after;   // the cause taken away, before one more cycle
    const char* warning;           // a word of the one warning ("" for none)
    const char* recording;         // the strip's state during the cycles
    const char* records_at_end;    // records in the file after the last cycle
};

class RecordingFailureTest : public HistoryTest {};

TEST_F(RecordingFailureTest, TheCycleGoesOnAndTheOperatorIsToldOnce) {
    std::optional<QSqlDatabase> locker;
    const Failure failures[] = {
        {"a folder in the file's place", false, [] { fs::create_directory(HISTORY_FILE); }, [] {},
         [] {}, "기록할 수 없습니다", "off", "NULL"},
        {"a damaged file", false, [] { WriteWholeFile(HISTORY_FILE, std::string(8192, 'x')); },
         [] {}, [] {}, "손상", "on", "3"},
        {"a file locked by another program", false, [] {},
         [&locker] {
             locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
             locker->setDatabaseName(HISTORY_FILE);
             ASSERT_TRUE(locker->open());
             ASSERT_TRUE(QSqlQuery(*locker).exec("BEGIN EXCLUSIVE"));
         },
         [&locker] {
             QSqlQuery(*locker).exec("ROLLBACK");
             locker->close();
             locker.reset();
             QSqlDatabase::removeDatabase("locker");
         },
         "기록할 수 없습니다", "off", "3"},
        {"a file kept by another station", false,
         [] {
             setenv("SURGE_STATION", "line-1", 1);
             Start_history();
             history::Stop();
             setenv("SURGE_STATION", "line-2", 1);
         },
         [] {}, [] {}, "line-1 의 것", "on", "3"},
        {"history turned off", false, [] { setenv("SURGE_HISTORY", "off", 1); }, [] {}, [] {}, "",
         "off", "NULL"},
        {"a full disk without a reserve", true, [] { Reserve("0"); }, [] { FillDisk(); },
         [] { fs::remove("filler.bin"); }, "기록할 수 없습니다", "off", "3"},
        {"a full disk, the reserve given up", true, [] { Reserve("1"); }, [] { FillDisk(); },
         [] { fs::remove("filler.bin"); }, "디스크가 가득 찼습니다", "off", "3"},
        {"a read-only folder", true,
         [] {
             const std::string here = fs::current_path().string();
             ASSERT_EQ(mount(nullptr, here.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
         },
         [] {}, [] {}, "기록할 수 없습니다", "off", "NULL"},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        ScopedWorkDir dir;
        const std::string disk = dir.File("disk");
        if (f.needs_mount) {
            if (!MountTmpfs(disk, "4m")) {
                std::printf("skipped \"%s\": mounting a tmpfs needs the superuser\n", f.name);
                continue;
            }
            ASSERT_EQ(chdir(disk.c_str()), 0);
        }
        WriteWholeFile("model_name.dat", "M-01 4.5 5 10 12 3 0\n");
        f.before();
        tt::ClearShownPopups();
        Start_history();
        f.during();
        Connect({"--noise", "0"});
        for (int cycle = 0; cycle < 2; ++cycle) {
            Cycle();
            EXPECT_EQ(Shown(MAIN_OK_LED), 1);
            EXPECT_EQ(StripShown(), (std::vector<std::string>{std::to_string(cycle + 1),
                                                              std::to_string(cycle + 1), "0",
                                                              "100.0 %", f.recording}));
        }
        tt::RunDeferredCalls();
        ASSERT_EQ(Warnings(), *f.warning ? 1 : 0);
        if (*f.warning) {
            EXPECT_NE(tt::ShownPopups()[0].text.find(f.warning), std::string::npos);
        }
        const bool file_made = fs::exists(HISTORY_FILE);
        f.after();
        Cycle();
        const auto rows = Query("SELECT COUNT(*) FROM inspection");
        EXPECT_EQ(rows.empty() ? "NULL" : rows[0][0], f.records_at_end);
        EXPECT_EQ(ReadWholeFile("model_name.dat"), "M-01 4.5 5 10 12 3 0\n");
        history::Stop();
        settings::StopSettings();
        unsetenv("SURGE_HISTORY");
        unsetenv("SURGE_STATION");
        if (std::string(f.name) == "a damaged file") {
            int aside = 0;
            for (const auto& entry : fs::directory_iterator(".")) {
                const std::string name = entry.path().filename().string();
                aside += name.rfind("inspection_history-damaged-", 0) == 0 &&
                         ReadWholeFile(name) == std::string(8192, 'x');
            }
            EXPECT_EQ(aside, 1);
        }
        if (std::string(f.name) == "history turned off") {
            EXPECT_FALSE(file_made);
        }
        if (f.needs_mount) {
            ASSERT_EQ(chdir(dir.Path().c_str()), 0);
            umount2(disk.c_str(), MNT_DETACH);
        }
    }
}

// 100 cycles on a small disk that fills up after the 10th, with a reserve of 1 MB, then freed: the
// reserve takes what it can, the rest waits in memory, and once there is room again every record
// is in the file, once, without another cycle.
TEST_F(RecordingFailureTest, ADiskThatFillsUpLosesNoRecord) {
    ScopedWorkDir dir;
    const std::string disk = dir.File("disk");
    if (!MountTmpfs(disk, "4m")) {
        GTEST_SKIP() << "mounting a tmpfs needs the superuser";
    }
    ASSERT_EQ(chdir(disk.c_str()), 0);
    Reserve("1");
    Start_history();
    const auto start = std::chrono::system_clock::now();
    for (int n = 0; n < 100; ++n) {
        if (n == 10) {
            FillDisk();
        }
        Inspection inspection =
            SampleInspection(n, start + std::chrono::milliseconds(n),
                             SampleSetup("03", 4.5, 5, 10, 20), 3, 3, Outcome::OK);
        inspection.serial = "U-" + std::to_string(n);
        history::Record(inspection);
    }
    EXPECT_GT(history::WriteWaiting(), 0);
    tt::RunDeferredCalls();  // the catch-up after the last cycle, on a disk still full
    fs::remove("filler.bin");
    // The line has stopped: the records in memory are written while the station stands idle.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!history::HeldBackRows().empty() && std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents();
        tt::RunDeferredCalls();
    }
    EXPECT_EQ(history::HeldBackRows().size(), 0u);
    EXPECT_EQ(history::WriteWaiting(), 0);
    history::Stop();
    settings::StopSettings();
    EXPECT_EQ(
        Query("SELECT COUNT(*), COUNT(DISTINCT serial), COUNT(DISTINCT uuid) FROM inspection"),
        (FileRows{{"100", "100", "100"}}));
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    umount2(disk.c_str(), MNT_DETACH);
}

}  // namespace
