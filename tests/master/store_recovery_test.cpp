// Opening the store after a change was interrupted at each of its steps, the legacy station's
// delete and save and our own replacement: the folder as the crash left it, and the store that
// opening makes of it, byte for byte; or, where the folder does not tell, every file kept and
// the store refusing changes.
#include <filesystem>
#include <map>
#include <optional>

#include "tests/master/master_fixture.h"

using namespace toolkit_testing;

namespace {

using Folder = std::map<std::string, std::string>;

// The store's own files in the working directory, and what they hold.
Folder StoreFolder() {
    Folder folder;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("model_", 0) == 0 || name.rfind("temp_", 0) == 0) {
            folder[name] = ReadWholeFile(name);
        }
    }
    return folder;
}

const TestMaster BRAVO_SAVED = {"BRAVO", 9.5F, 7, 8, 9, 10, 11, 60};
const TestMaster DELTA = {"DELTA", 4.5F, 4, 5, 6, 7, 8, 4};
const std::vector<TestMaster> DELETED = {THREE[0], THREE[2]};                // record 2 deleted
const std::vector<TestMaster> REPLACED = {THREE[0], BRAVO_SAVED, THREE[2]};  // record 2 saved
const std::vector<TestMaster> APPENDED = {THREE[0], THREE[1], THREE[2], DELTA};

}  // namespace

TEST_F(StoreTest, OpeningAfterAnInterruptedChangeFinishesItDiscardsItOrKeepsEverything) {
    const std::string N = MODEL_NAME_FILE, W = MODEL_WAVE_FILE;
    const std::string TN = DELETE_TEMP_NAME_FILE, TW = DELETE_TEMP_WAVE_FILE;
    const std::string SN = SAVE_TEMP_NAME_FILE, SW = SAVE_TEMP_WAVE_FILE;
    const std::string MARKER = COMMIT_MARKER_FILE;
    const std::string old_n = Lines(THREE), old_w = Blocks(THREE);
    const std::string del_n = Lines(DELETED), del_w = Blocks(DELETED);
    const std::string rep_n = Lines(REPLACED), rep_w = Blocks(REPLACED);
    const std::string app_n = Lines(APPENDED), app_w = Blocks(APPENDED);
    const std::string save_marker = SN + " " + SW + "\n";
    const std::string delete_marker = TN + " " + TW + "\n";
    struct Case {
        const char* label;
        Folder folder;
        std::optional<std::vector<TestMaster>> store;  // none: every file kept, changes refused
    };
    const std::vector<Case> cases = {
        // The legacy delete: write the pair, delete both store files, rename the pair.
        {"delete, writing the pair",
         {{N, old_n}, {W, old_w}, {TN, Line(THREE[0])}, {TW, ""}},
         THREE},
        {"delete, pair written up to a whole record",
         {{N, old_n}, {W, old_w}, {TN, Line(THREE[0])}, {TW, Blocks({THREE[0]})}},
         THREE},
        {"delete, pair written", {{N, old_n}, {W, old_w}, {TN, del_n}, {TW, del_w}}, THREE},
        {"delete, name file deleted", {{W, old_w}, {TN, del_n}, {TW, del_w}}, DELETED},
        {"delete, wave file deleted", {{TN, del_n}, {TW, del_w}}, DELETED},
        {"delete, name file renamed", {{N, del_n}, {TW, del_w}}, DELETED},
        {"delete, done", {{N, del_n}, {W, del_w}}, DELETED},
        // ... and a legacy opening since, which re-created the missing files empty.
        {"delete, name file deleted, re-created",
         {{N, ""}, {W, old_w}, {TN, del_n}, {TW, del_w}},
         DELETED},
        {"delete, wave file deleted, both re-created",
         {{N, ""}, {W, ""}, {TN, del_n}, {TW, del_w}},
         DELETED},
        {"delete, name file renamed, wave file re-created",
         {{N, del_n}, {W, ""}, {TW, del_w}},
         DELETED},
        // The legacy save: write the pair, copy both over the store files, delete both.
        {"save, writing the pair",
         {{N, old_n}, {W, old_w}, {SN, Line(THREE[0])}, {SW, "ab"}},
         THREE},
        {"save, pair written", {{N, old_n}, {W, old_w}, {SN, rep_n}, {SW, rep_w}}, THREE},
        {"save, copying the name file",
         {{N, rep_n.substr(0, 30)}, {W, old_w}, {SN, rep_n}, {SW, rep_w}},
         REPLACED},
        {"save, name file copied", {{N, rep_n}, {W, old_w}, {SN, rep_n}, {SW, rep_w}}, REPLACED},
        {"save, copying the wave file",
         {{N, rep_n}, {W, rep_w.substr(0, 400)}, {SN, rep_n}, {SW, rep_w}},
         REPLACED},
        {"save, wave file copied", {{N, rep_n}, {W, rep_w}, {SN, rep_n}, {SW, rep_w}}, REPLACED},
        {"save, name pair file deleted", {{N, rep_n}, {W, rep_w}, {SW, rep_w}}, REPLACED},
        {"save, done", {{N, rep_n}, {W, rep_w}}, REPLACED},
        {"appending save, pair written", {{N, old_n}, {W, old_w}, {SN, app_n}, {SW, app_w}}, THREE},
        {"appending save, name file copied",
         {{N, app_n}, {W, old_w}, {SN, app_n}, {SW, app_w}},
         APPENDED},
        {"first save, pair written",
         {{N, ""}, {W, ""}, {SN, Line(DELTA)}, {SW, Block(4)}},
         std::vector<TestMaster>{DELTA}},
        // Our own replacement: write the pair, the marker, rename both, remove the marker.
        {"ours, writing the pair",
         {{N, old_n}, {W, old_w}, {SN, rep_n}, {SW, "ab"}, {COMMIT_MARKER_TEMP_FILE, save_marker}},
         THREE},
        {"ours, marker written",
         {{N, old_n}, {W, old_w}, {SN, rep_n}, {SW, rep_w}, {MARKER, save_marker}},
         REPLACED},
        {"ours, name file renamed",
         {{N, rep_n}, {W, old_w}, {SW, rep_w}, {MARKER, save_marker}},
         REPLACED},
        {"ours, wave file renamed", {{N, rep_n}, {W, rep_w}, {MARKER, save_marker}}, REPLACED},
        {"ours, a delete's marker written",
         {{N, old_n}, {W, old_w}, {TN, del_n}, {TW, del_w}, {MARKER, delete_marker}},
         DELETED},
        // Two interrupted changes: a stale save pair beside a delete that can be finished.
        {"save pair being written, then a delete's files deleted",
         {{TN, del_n}, {TW, del_w}, {SN, Line(THREE[0])}, {SW, "ab"}},
         DELETED},
        // The folder does not tell which files are the store.
        {"name file deleted, delete pair not in step",
         {{W, old_w}, {TN, del_n}, {TW, Block(1)}},
         std::nullopt},
        {"empty name file, wave file not the delete pair's origin",
         {{N, ""}, {W, old_w}, {TN, del_n}, {TW, Blocks({THREE[0], DELTA})}},
         std::nullopt},
        {"delete pair beside a store out of step",
         {{N, old_n}, {W, Blocks({THREE[0], THREE[1]})}, {TN, del_n}, {TW, del_w}},
         std::nullopt},
        {"delete pair beside an empty store",
         {{N, ""}, {W, ""}, {TN, del_n}, {TW, Block(1)}},
         std::nullopt},
        {"name file deleted, wave file not the delete pair's origin",
         {{W, old_w}, {TN, del_n}, {TW, Blocks({THREE[0], DELTA})}},
         std::nullopt},
        {"whole delete pair with masters the whole store lacks",
         {{N, Line(DELTA)}, {W, Block(4)}, {TN, del_n}, {TW, del_w}},
         std::nullopt},
        {"save pair beside a store out of step that it does not start",
         {{N, old_n}, {W, Blocks({THREE[0], THREE[1]})}, {SN, rep_n}, {SW, rep_w}},
         std::nullopt},
        {"both pairs whole, both store files deleted",
         {{TN, del_n}, {TW, del_w}, {SN, rep_n}, {SW, rep_w}},
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Close_store();
        for (const auto& [name, bytes] : StoreFolder()) {
            DeleteFile(name.c_str());
        }
        for (const auto& [name, bytes] : c.folder) {
            WriteWholeFile(name, bytes);
        }
        ClearShownPopups();
        const bool opened = Open_store();
        if (c.store) {
            EXPECT_TRUE(opened);
            EXPECT_TRUE(ShownPopups().empty());
            EXPECT_EQ(StoreFolder(), (Folder{{N, Lines(*c.store)}, {W, Blocks(*c.store)}}));
            continue;
        }
        EXPECT_EQ(StoreFolder(), c.folder);
        ASSERT_EQ(ShownPopups().size(), 1U);
        EXPECT_EQ(ShownPopups()[0].title, "경  고");
        EXPECT_EQ(ShownPopups()[0].text.rfind(STORE_INTERRUPTED_TEXT, 0), 0U);
        for (const auto& [name, bytes] : c.folder) {
            EXPECT_NE(ShownPopups()[0].text.find(name), std::string::npos) << name;
        }
        // The store lists where both its files are there, and takes no change.
        EXPECT_EQ(opened, c.folder.count(N) == 1 && c.folder.count(W) == 1);
        if (opened) {
            EXPECT_FALSE(Delete(1));
        }
        SetCurrent("NEW", 1.0F, 1, 1, 1, 1, 1, 5);
        EXPECT_EQ(SaveCurrent([] { return true; }), SaveOutcome::Failed);
        EXPECT_EQ(StoreFolder(), c.folder);
    }
}
