// A full disk and a read-only folder stop a change with a warning and leave the store as it was.
// Each change runs in a forked child whose file size limit or user the test sets.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "tests/master/master_fixture.h"

using namespace toolkit_testing;

namespace {

constexpr int CHILD_OK = 0;
constexpr int CHILD_WRONG = 1;

// Runs `body` in a child process; returns its exit code (-1 when it died by a signal).
int RunInChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::_Exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool LastPopupIs(const char* text) {
    return !ShownPopups().empty() && ShownPopups().back().text == text;
}

const std::vector<StoreChange>& Changes() {
    static const std::vector<StoreChange> changes = StoreChanges();
    return changes;
}

class StoreLimitTest : public StoreTest {};

}  // namespace

TEST_F(StoreLimitTest, AFullDiskStopsTheChangeWithAWarning) {
    // Twenty records: more wave bytes than the child may write.
    std::vector<TestMaster> stored;
    for (int i = 0; i < 20; ++i) {
        stored.push_back({"M" + std::to_string(i), 1.0F, i, i, i, i, i, i});
    }
    for (const StoreChange& change : Changes()) {
        SCOPED_TRACE(change.label);
        WriteStore(stored);
        const int exit_code = RunInChild([&change] {
            const rlimit limit{4096, 4096};
            signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
            ClearShownPopups();
            const bool changed = change.run();
            return !changed && LastPopupIs(STORE_WRITE_FAILED_TEXT) ? CHILD_OK : CHILD_WRONG;
        });
        EXPECT_EQ(exit_code, CHILD_OK);
        EXPECT_TRUE(StoreIs(Lines(stored), Blocks(stored)));
        EXPECT_TRUE(NoLeftovers());
    }
}

TEST_F(StoreLimitTest, AReadOnlyFolderStopsTheChangeWithAWarning) {
    for (const StoreChange& change : Changes()) {
        SCOPED_TRACE(change.label);
        WriteStore(THREE);
        ASSERT_EQ(chmod(".", 0555), 0);
        const int exit_code = RunInChild([&change] {
            // The superuser writes anywhere; the change runs as an ordinary user.
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                return CHILD_WRONG;
            }
            ClearShownPopups();
            const bool changed = change.run();
            if (changed || !LastPopupIs(STORE_WRITE_FAILED_TEXT)) {
                return CHILD_WRONG;
            }
            // The store still lists.
            int rows = 0;
            return List_scan([&rows](const MasterRecord&) { ++rows; }) && rows == 3 ? CHILD_OK
                                                                                    : CHILD_WRONG;
        });
        ASSERT_EQ(chmod(".", 0755), 0);
        EXPECT_EQ(exit_code, CHILD_OK);
        EXPECT_TRUE(StoreIs(Lines(THREE), Blocks(THREE)));
        EXPECT_TRUE(NoLeftovers());
    }
}

TEST_F(StoreLimitTest, AMissingStoreInAReadOnlyFolderCannotBeOpened) {
    ASSERT_EQ(chmod(".", 0555), 0);
    const int exit_code = RunInChild([] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            return CHILD_WRONG;
        }
        ClearShownPopups();
        return !Open_store() && file_opened == 0 && LastPopupIs(STORE_OPEN_FAILED_TEXT)
                   ? CHILD_OK
                   : CHILD_WRONG;
    });
    ASSERT_EQ(chmod(".", 0755), 0);
    EXPECT_EQ(exit_code, CHILD_OK);
}

TEST_F(StoreLimitTest, ASetAsideThatRunsOutOfRoomLeavesTheStoreAndTheSetAsideFileAsTheyWere) {
    // 8,000 wave bytes that no line owns: more than the child may write to the set-aside file.
    const std::string waves = Blocks(THREE) + std::string(8000, 'x');
    WriteWholeFile(MODEL_NAME_FILE, Lines(THREE));
    WriteWholeFile(MODEL_WAVE_FILE, waves);
    WriteWholeFile(SET_ASIDE_FILE, "set aside before\n");
    const int exit_code = RunInChild([] {
        const rlimit limit{4096, 4096};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        ClearShownPopups();
        const bool changed = Open_store() && Delete(1);
        return !changed && LastPopupIs(STORE_WRITE_FAILED_TEXT) ? CHILD_OK : CHILD_WRONG;
    });
    EXPECT_EQ(exit_code, CHILD_OK);
    EXPECT_TRUE(StoreIs(Lines(THREE), waves));
    EXPECT_EQ(ReadWholeFile(SET_ASIDE_FILE), "set aside before\n");
    EXPECT_TRUE(NoLeftovers());
}
