// The store survives a crash at every step of a change: afterwards it holds all the old records
// or all the new ones, never a mix. Each change runs in a child process, which ends where the
// test says. A write-protected store still lists and reads.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/master/master_fixture.h"
#include "tests/support/child_process.h"

using namespace toolkit_testing;

namespace {

constexpr int CRASHED = 42;
constexpr int CHILD_OK = 0;

const char* crash_step = "";

void CrashAtStep(const char* step) {
    if (std::strcmp(step, crash_step) == 0) {
        CrashProcess(CRASHED);
    }
}

const std::vector<StoreChange>& Changes() {
    static const std::vector<StoreChange> changes = [] {
        std::vector<StoreChange> all = StoreChanges();
        all.push_back({"open the store", [] { return Open_store(); }});
        return all;
    }();
    return changes;
}
constexpr int OPEN_THE_STORE = 3;

// The steps of a change in order; from "marker_written" on the change has taken place.
const char* const STEPS[] = {"record_written", "pair_written", "pair_flushed",  "marker_written",
                             "name_renamed",   "wave_renamed", "marker_removed"};
constexpr int FIRST_STEP_AFTER_COMMIT = 3;

// In the child: "<change> <step>" runs that change and ends the process at that step.
int ChangeAndCrash(const std::string& argument) {
    static std::string step;
    const std::size_t blank = argument.find(' ');
    step = argument.substr(blank + 1);
    crash_step = step.c_str();
    store_step_hook = CrashAtStep;
    Changes()[static_cast<std::size_t>(std::atoi(argument.c_str()))].run();
    return CHILD_OK;
}
const bool registered = RegisterChildTask("change_and_crash", ChangeAndCrash);

int CrashInChild(int change, const char* step) {
    return RunChildTask("change_and_crash", std::to_string(change) + " " + step);
}

class StoreCrashTest : public StoreTest {};

}  // namespace

TEST_F(StoreCrashTest, ACrashAtAnyStepLeavesTheStoreWhollyOldOrWhollyNew) {
    ASSERT_TRUE(registered);
    const std::string old_names = Lines(THREE);
    const std::string old_waves = Blocks(THREE);
    for (int change = 0; change < OPEN_THE_STORE; ++change) {
        SCOPED_TRACE(Changes()[static_cast<std::size_t>(change)].label);
        WriteStore(THREE);
        ASSERT_TRUE(Changes()[static_cast<std::size_t>(change)].run());
        Close_store();
        const std::string new_names = NameFile();
        const std::string new_waves = WaveFile();
        ASSERT_NE(new_names, old_names);

        for (int step = 0; step < static_cast<int>(std::size(STEPS)); ++step) {
            SCOPED_TRACE(STEPS[step]);
            WriteStore(THREE);
            ASSERT_EQ(CrashInChild(change, STEPS[step]), CRASHED);

            // The next opening finishes or discards what the crash left.
            ASSERT_TRUE(Open_store());
            Close_store();
            if (step < FIRST_STEP_AFTER_COMMIT) {
                EXPECT_TRUE(StoreIs(old_names, old_waves));
            } else {
                EXPECT_TRUE(StoreIs(new_names, new_waves));
            }
            EXPECT_TRUE(NoLeftovers());
        }
    }
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(StoreCrashTest, ACrashWhileFinishingAnInterruptedChangeIsFinishedLater) {
    WriteStore(THREE);
    ASSERT_TRUE(Changes()[0].run());
    const std::string new_names = NameFile();
    const std::string new_waves = WaveFile();

    WriteStore(THREE);
    ASSERT_EQ(CrashInChild(0, "marker_written"), CRASHED);
    for (const char* step : {"name_renamed", "wave_renamed"}) {
        ASSERT_EQ(CrashInChild(OPEN_THE_STORE, step), CRASHED);
    }
    ASSERT_TRUE(Open_store());
    Close_store();
    EXPECT_TRUE(StoreIs(new_names, new_waves));
    EXPECT_TRUE(NoLeftovers());
}

TEST_F(StoreCrashTest, AWriteProtectedStoreStillListsAndReads) {
    namespace fs = std::filesystem;
    WriteStore(THREE);
    for (const char* file : {MODEL_NAME_FILE, MODEL_WAVE_FILE}) {
        fs::permissions(file,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    int rows = 0;
    EXPECT_TRUE(List_scan([&rows](const MasterRecord&) { ++rows; }));
    EXPECT_EQ(rows, 3);
    ASSERT_TRUE(Select(3));
    EXPECT_STREQ(master_name, "CHARLIE");
    EXPECT_EQ(CurrentWave(), Block(3));
    Close_store();
    for (const char* file : {MODEL_NAME_FILE, MODEL_WAVE_FILE}) {
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    }
    EXPECT_TRUE(StoreIs(Lines(THREE), Blocks(THREE)));
    EXPECT_TRUE(ShownPopups().empty());
}
