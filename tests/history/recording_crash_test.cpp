// The station killed while it records: the file opens afterwards holding every record whose
// recording had returned (its verdict shown), whole, and at most the one in flight besides.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/history/history_fixture.h"

namespace {

// Records cycles without end, writing the number of each one recorded to `fd`.
[[noreturn]] void RecordUntilKilled(int fd) {
    history::Start({});
    for (int n = 0;; ++n) {
        Inspection inspection = Inspected(n % 2 ? Outcome::OK : Outcome::NG);
        inspection.serial = "N" + std::to_string(n);
        inspection.standard_wave.emplace().fill(static_cast<signed char>(n));
        inspection.measured_wave.emplace().fill(static_cast<signed char>(-n));
        history::Record(inspection);
        if (write(fd, &n, sizeof n) != sizeof n) {
            std::_Exit(1);
        }
    }
}

TEST(RecordingCrashTest, AKilledStationLosesNoRecordItHadReturnedAndLeavesNoneHalfWritten) {
    ScopedWorkDir dir;
    long long before = 0;
    for (int ms : {1, 4, 9, 17, 33, 65, 130}) {
        SCOPED_TRACE("killed after " + std::to_string(ms) + " ms");
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            RecordUntilKilled(fds[1]);
        }
        close(fds[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        int n = -1;
        long long returned = 0;
        while (read(fds[0], &n, sizeof n) == sizeof n) {
            ++returned;
        }
        close(fds[0]);

        const auto counted = Query("SELECT COUNT(*) FROM inspection");
        const long long now = counted.empty() ? 0 : std::stoll(counted[0][0]);
        if (returned == 0 && counted.empty()) {
            continue;  // killed before it began its file
        }
        EXPECT_EQ(Query("PRAGMA integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));
        EXPECT_GE(now - before, returned);
        EXPECT_LE(now - before, returned + 1);
        // Whole: each of this run's records, in order, with both waves as they were given.
        const auto bad =
            Query("SELECT COUNT(*) FROM inspection WHERE id > " + std::to_string(before) +
                  " AND (serial <> 'N' || (id - " + std::to_string(before + 1) +
                  ") OR length(standard_wave) <> 300 OR length(measured_wave) <> 300 OR "
                  "length(uuid) <> 36)");
        EXPECT_EQ(bad, (std::vector<std::vector<std::string>>{{"0"}}));
        before = now;
    }
}

}  // namespace
