// A real full disk under the store: a 64 KiB tmpfs as the working directory, filled so that a
// save or a delete has from no room at all to just enough. Whatever the room, the change
// either goes through whole or leaves both store files byte for byte as they were, with no
// temporary file left and the warning shown. Mounting needs the superuser; elsewhere the tests
// skip (store_crash_test covers a full disk through the file-size limit).
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/master/master_fixture.h"

using namespace toolkit_testing;

namespace {

constexpr const char* SAVE_QUESTION = "저장하시겠습니까 ?";
constexpr const char* FILLER_FILE = "filler.bin";
// Room left for the change, in blocks of the file system: none, up to more than it needs.
constexpr int MOST_ROOM = 8;

std::vector<TestMaster> Stored() {
    std::vector<TestMaster> masters;
    for (int i = 0; i < 20; ++i) {
        masters.push_back({"M" + std::to_string(i), 2.5F, i % 8, i, i + 1, i + 2, i + 3, i + 10});
    }
    return masters;
}

// The furthest step of the store's replacement that the change reached.
std::string last_step;

void RecordStep(const char* step) {
    last_step = step;
}

class FullDiskTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (geteuid() != 0) {
            GTEST_SKIP() << "mounting a tmpfs needs the superuser";
        }
        disk_ = dir_.File("disk");
        ASSERT_EQ(mkdir(disk_.c_str(), 0755), 0);
        if (mount("surge-full-disk", disk_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
                  "size=64k,mode=0755") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                         << "); a container without CAP_SYS_ADMIN refuses it";
        }
        mounted_ = true;
        ASSERT_EQ(chdir(disk_.c_str()), 0);
        store_step_hook = RecordStep;
    }
    void TearDown() override {
        store_step_hook = nullptr;
        Close_store();
        if (mounted_) {
            EXPECT_EQ(chdir(dir_.Path().c_str()), 0);
            if (umount(disk_.c_str()) != 0) {
                ADD_FAILURE() << "unmount: " << std::strerror(errno);
                umount2(disk_.c_str(), MNT_DETACH);
            }
        }
        PanelTest::TearDown();
    }

    // A fresh store of `masters`, then a filler that leaves `blocks` free blocks. False when
    // the disk cannot be brought to that state.
    static bool Prepare(const std::vector<TestMaster>& masters, int blocks) {
        Close_store();
        DeleteFile(FILLER_FILE);
        WriteStore(masters);
        if (NameFile() != Lines(masters) || WaveFile() != Blocks(masters)) {
            return false;
        }
        struct statvfs disk {};
        if (statvfs(".", &disk) != 0) {
            return false;
        }
        const long long block = static_cast<long long>(disk.f_frsize);
        const long long free_bytes = static_cast<long long>(disk.f_bavail) * block;
        const long long filler = free_bytes - blocks * block;
        if (filler < 0) {
            return false;
        }
        const int fd = open(FILLER_FILE, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string chunk(static_cast<std::size_t>(block), 'f');
        bool ok = fd >= 0;
        for (long long written = 0; ok && written < filler; written += block) {
            ok = write(fd, chunk.data(), chunk.size()) == static_cast<ssize_t>(chunk.size());
        }
        ok = fd >= 0 && close(fd) == 0 && ok;
        return ok && statvfs(".", &disk) == 0 && static_cast<long long>(disk.f_bavail) == blocks;
    }

    static int WriteWarnings() {
        int count = 0;
        for (const auto& popup : ShownPopups()) {
            count += popup.title == STORE_WARNING_TITLE && popup.text == STORE_WRITE_FAILED_TEXT;
        }
        return count;
    }

    // Checks one change at every amount of room: a failure leaves the store as it was and
    // warns; a success leaves the new store and does not. The room runs from none, where the
    // change must fail, to plenty, where it must go through; in between it must have failed
    // both while writing the temporary pair and after it, at the commit marker.
    void CheckAtEveryRoom(const std::vector<TestMaster>& before,
                          const std::vector<TestMaster>& after,
                          const std::function<void()>& change) {
        bool failed_in_pair = false;
        bool failed_after_pair = false;
        bool succeeded = false;
        for (int blocks = 0; blocks <= MOST_ROOM; ++blocks) {
            SCOPED_TRACE("free blocks: " + std::to_string(blocks));
            ASSERT_TRUE(Prepare(before, blocks));
            ClearShownPopups();
            last_step.clear();
            change();
            Close_store();
            DeleteFile(FILLER_FILE);

            const bool unchanged = NameFile() == Lines(before) && WaveFile() == Blocks(before);
            const bool changed = NameFile() == Lines(after) && WaveFile() == Blocks(after);
            EXPECT_TRUE(unchanged || changed) << "a store that is neither the old nor the new";
            EXPECT_EQ(WriteWarnings(), unchanged ? 1 : 0);
            EXPECT_TRUE(NoLeftovers());
            if (blocks == 0) {
                EXPECT_TRUE(unchanged) << "a change with no room at all";
            }
            if (blocks == MOST_ROOM) {
                EXPECT_TRUE(changed) << "a change with room enough";
            }
            const bool pair_written = last_step == "pair_flushed";
            failed_in_pair = failed_in_pair || (unchanged && !pair_written);
            failed_after_pair = failed_after_pair || (unchanged && pair_written);
            succeeded = succeeded || changed;

            // The store is whole again: it lists, record for record.
            int rows = 0;
            EXPECT_TRUE(List_scan([&rows](const MasterRecord&) { ++rows; }));
            EXPECT_EQ(rows, static_cast<int>((changed ? after : before).size()));
            Close_store();
        }
        EXPECT_TRUE(failed_in_pair);
        EXPECT_TRUE(failed_after_pair);
        EXPECT_TRUE(succeeded);
    }

    std::string disk_;
    bool mounted_ = false;
};

}  // namespace

TEST_F(FullDiskTest, ASaveThatRunsOutOfRoomLeavesTheStoreAsItWasAndWarns) {
    const std::vector<TestMaster> before = Stored();
    const TestMaster added = {"NEW", 9.5F, 7, 8, 9, 10, 11, 99};
    std::vector<TestMaster> after = before;
    after.push_back(added);

    CheckAtEveryRoom(before, after, [&added] {
        SetCurrent("", added.voltage, added.width, added.pulse_no, added.area, added.phase,
                   added.corona, added.seed);
        TypeText(setupHandle, SETUP_MODEL_NAME, added.name);
        QueueConfirmAnswer(1);
        Commit(setupHandle, SETUP_SAVE);
        ASSERT_FALSE(ShownPopups().empty());
        EXPECT_EQ(ShownPopups()[0].text, SAVE_QUESTION);
        EXPECT_EQ(file_opened, 0);
    });
}

TEST_F(FullDiskTest, ADeleteThatRunsOutOfRoomLeavesStoreAndTableAsTheyWereAndWarns) {
    const std::vector<TestMaster> before = Stored();
    std::vector<TestMaster> after = before;
    after.erase(after.begin() + 1);

    CheckAtEveryRoom(before, after, [&before] {
        Commit(setupHandle, SETUP_LIST);
        ASSERT_EQ(Rows(), static_cast<int>(before.size()));
        ClickTableCell(masterHandle, MASTER_TABLE, MakePoint(1, 2));
        RunDeferredCalls();
        Commit(masterHandle, MASTER_DELETE);
        // The table follows the store: the row goes only when the record went.
        const bool deleted = NameFile() != Lines(before);
        EXPECT_EQ(Rows(), static_cast<int>(before.size()) - (deleted ? 1 : 0));
        EXPECT_EQ(Int(masterHandle, MASTER_COUNT), Rows());
        EXPECT_EQ(Cell(2, 1), deleted ? "M2" : "M1");
        EXPECT_EQ(file_opened, 1);
        Commit(masterHandle, MASTER_CANCEL);
    });
}
