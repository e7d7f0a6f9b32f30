// Opening the store after a change was interrupted at each of its steps, the legacy station's
// delete and save and our own replacement: the folder as the crash left it, and the store that
// opening makes of it, byte for byte; or, where the folder does not tell, every file kept and
// the store refusing changes; and the log's line of each.
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>

#include "log/log.h"
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
// ALPHA saved again in its place: new parameters and wave, or new parameters alone.
const TestMaster ALPHA_SAVED = {"ALPHA", 8.5F, 2, 3, 4, 5, 6, 70};
const TestMaster ALPHA_RESET = {"ALPHA", 8.5F, 2, 3, 4, 5, 6, 1};

std::string WithCrLf(const std::string& lines) {
    std::string text;
    for (const char c : lines) {
        text += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return text;
}

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
        std::optional<std::vector<TestMaster>> store;  // none: changes refused
        // The folder opening leaves, where it is not the store's two files, or, with changes
        // refused, every file as it was.
        std::optional<Folder> left = std::nullopt;
    };
    // A legacy delete of BRAVO cut once it renamed the name file, the wave file re-created empty
    // by a legacy opening, then a legacy save of DELTA. What that save writes for lines that have
    // no block is not known: no record, so DELTA alone (a); each line with a block it did not
    // read, zeros here (b); the lines without blocks (c); or, saving ALPHA in its place, the lines
    // with the one block it wrote (d). The delete pair's wave file holds the only whole copy of
    // ALPHA's and CHARLIE's waves.
    const std::string zeros(WAVE_SAMPLES, '\0');
    const std::string a_n = Line(DELTA), a_w = Block(DELTA.seed);
    const std::string b_n = del_n + Line(DELTA), b_w = zeros + zeros + Block(DELTA.seed);
    const std::string c_n = b_n, c_w = Block(DELTA.seed);
    const std::string d_n = Lines({ALPHA_SAVED, THREE[2]}), d_w = Block(ALPHA_SAVED.seed);
    const Folder a_saved = {{N, a_n}, {W, a_w}, {TW, del_w}};
    const Folder b_saved = {{N, b_n}, {W, b_w}, {TW, del_w}};
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
        {"delete pair cut short with a record the store lacks",
         {{N, old_n}, {W, old_w}, {TN, "STALE 1.0 1 1 1 1 1\n"}, {TW, Block(77).substr(0, 100)}},
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
        // A delete cut once it renamed the name file, then a legacy save (above): the delete pair
        // is the store only until the save's copies begin; what is left of it afterwards is kept.
        {"delete cut at its rename, save (a) writing the pair",
         {{N, del_n}, {W, ""}, {TW, del_w}, {SN, a_n}, {SW, "ab"}},
         DELETED},
        {"delete cut at its rename, save (a) pair written",
         {{N, del_n}, {W, ""}, {TW, del_w}, {SN, a_n}, {SW, a_w}},
         DELETED},
        {"delete cut at its rename, save (a) copying the name file",
         {{N, a_n.substr(0, 10)}, {W, ""}, {TW, del_w}, {SN, a_n}, {SW, a_w}},
         std::nullopt,
         a_saved},
        {"delete cut at its rename, save (a) name file copied",
         {{N, a_n}, {W, ""}, {TW, del_w}, {SN, a_n}, {SW, a_w}},
         std::nullopt,
         a_saved},
        {"delete cut at its rename, save (a) copying the wave file",
         {{N, a_n}, {W, a_w.substr(0, 100)}, {TW, del_w}, {SN, a_n}, {SW, a_w}},
         std::nullopt,
         a_saved},
        {"delete cut at its rename, save (a) wave file copied",
         {{N, a_n}, {W, a_w}, {TW, del_w}, {SN, a_n}, {SW, a_w}},
         std::nullopt},
        {"delete cut at its rename, save (a) name pair file deleted",
         {{N, a_n}, {W, a_w}, {TW, del_w}, {SW, a_w}},
         std::nullopt},
        {"delete cut at its rename, save (a) done",
         {{N, a_n}, {W, a_w}, {TW, del_w}},
         std::nullopt},
        {"delete cut at its rename, save (b) pair written",
         {{N, del_n}, {W, ""}, {TW, del_w}, {SN, b_n}, {SW, b_w}},
         std::nullopt},
        {"delete cut at its rename, save (b) name file copied",
         {{N, b_n}, {W, ""}, {TW, del_w}, {SN, b_n}, {SW, b_w}},
         std::nullopt,
         b_saved},
        {"delete cut at its rename, save (b) wave file copied",
         {{N, b_n}, {W, b_w}, {TW, del_w}, {SN, b_n}, {SW, b_w}},
         std::nullopt},
        {"delete cut at its rename, save (b) done",
         {{N, b_n}, {W, b_w}, {TW, del_w}},
         std::nullopt},
        {"delete cut at its rename, save (c) name file copied",
         {{N, c_n}, {W, ""}, {TW, del_w}, {SN, c_n}, {SW, c_w}},
         std::nullopt},
        {"delete cut at its rename, save (c) done",
         {{N, c_n}, {W, c_w}, {TW, del_w}},
         std::nullopt},
        // The name file is the save's, not the delete pair's, though its lines match the pair.
        {"delete cut at its rename, save (d) name file copied",
         {{N, d_n}, {W, ""}, {TW, del_w}, {SN, d_n}, {SW, d_w}},
         std::nullopt},
        {"delete cut at its rename, save (d) done",
         {{N, d_n}, {W, d_w}, {TW, del_w}},
         std::nullopt},
        // The same save after a delete cut before its rename: the delete pair is whole.
        {"delete cut before its rename, save (a) pair written",
         {{N, ""}, {W, ""}, {TN, del_n}, {TW, del_w}, {SN, a_n}, {SW, a_w}},
         std::nullopt},
        {"delete cut before its rename, save (a) name file copied",
         {{N, a_n}, {W, ""}, {TN, del_n}, {TW, del_w}, {SN, a_n}, {SW, a_w}},
         std::nullopt,
         Folder{{N, a_n}, {W, a_w}, {TN, del_n}, {TW, del_w}}},
        // A delete cut while writing its pair, then a legacy save of the record it had copied.
        {"delete pair being written, then the record it copied saved anew",
         {{N, Lines({ALPHA_SAVED, THREE[1], THREE[2]})},
          {W, Blocks({ALPHA_SAVED, THREE[1], THREE[2]})},
          {TN, Line(THREE[0])},
          {TW, Block(1)}},
         std::nullopt},
        {"delete pair being written, then new parameters saved for the record it copied",
         {{N, Lines({ALPHA_RESET, THREE[1], THREE[2]})},
          {W, old_w},
          {TN, Line(THREE[0])},
          {TW, ""}},
         std::nullopt},
        // A legacy save cut once its copy had emptied the name file, then a save of DELTA from
        // the empty list: the wave file holds the only copy of three masters' waves.
        {"save cut copying the name file, then a save from the empty list, pair written",
         {{N, ""}, {W, old_w}, {SN, a_n}, {SW, a_w}},
         std::nullopt},
        {"save cut copying the name file, then a save from the empty list, name file copied",
         {{N, a_n}, {W, old_w}, {SN, a_n}, {SW, a_w}},
         std::nullopt},
        // A legacy store with CR LF line ends, its delete cut before the last line's LF.
        {"delete of a CR LF store, writing the pair",
         {{N, WithCrLf(old_n)},
          {W, old_w},
          {TN, WithCrLf(Line(THREE[0])) + WithCrLf(Line(THREE[2])).substr(0, 22)},
          {TW, Block(1) + Block(3).substr(0, 100)}},
         THREE,
         Folder{{N, WithCrLf(old_n)}, {W, old_w}}},
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
        const Folder left = c.left    ? *c.left
                            : c.store ? Folder{{N, Lines(*c.store)}, {W, Blocks(*c.store)}}
                                      : c.folder;
        if (c.store) {
            EXPECT_TRUE(opened);
            EXPECT_TRUE(ShownPopups().empty());
            EXPECT_EQ(StoreFolder(), left);
            continue;
        }
        EXPECT_EQ(StoreFolder(), left);
        ASSERT_EQ(ShownPopups().size(), 1U);
        EXPECT_EQ(ShownPopups()[0].title, "경  고");
        EXPECT_EQ(ShownPopups()[0].text.rfind(STORE_INTERRUPTED_TEXT, 0), 0U);
        for (const auto& [name, bytes] : left) {
            EXPECT_NE(ShownPopups()[0].text.find(name), std::string::npos) << name;
        }
        // The store lists where both its files are there, and takes no change.
        EXPECT_EQ(opened, left.count(N) == 1 && left.count(W) == 1);
        if (opened) {
            EXPECT_FALSE(Delete(1));
        }
        SetCurrent("NEW", 1.0F, 1, 1, 1, 1, 1, 5);
        EXPECT_EQ(SaveCurrent([] { return true; }), SaveOutcome::Failed);
        EXPECT_EQ(StoreFolder(), left);
    }
}

TEST_F(StoreTest, EachRecoveryOfTheStoreIsALineOfTheLog) {
    const std::string N = MODEL_NAME_FILE, W = MODEL_WAVE_FILE;
    const std::string TN = DELETE_TEMP_NAME_FILE, TW = DELETE_TEMP_WAVE_FILE;
    const std::string SN = SAVE_TEMP_NAME_FILE, SW = SAVE_TEMP_WAVE_FILE;
    const std::string old_n = Lines(THREE), old_w = Blocks(THREE);
    const std::string del_n = Lines(DELETED), del_w = Blocks(DELETED);
    const std::string rep_n = Lines(REPLACED), rep_w = Blocks(REPLACED);
    const struct {
        const char* label;
        Folder folder;
        std::vector<std::string> logged;  // the store's lines, less their time and category
    } cases[] = {
        {"nothing left", {{N, old_n}, {W, old_w}}, {}},
        {"our marker written",
         {{N, old_n},
          {W, old_w},
          {SN, rep_n},
          {SW, rep_w},
          {COMMIT_MARKER_FILE, SN + " " + SW + "\n"}},
         {"an interrupted change finished: temp_model_name.dat and temp_model_wave.dat put in "
          "place, as model_commit.dat named"}},
        {"our marker being written",
         {{N, old_n},
          {W, old_w},
          {SN, rep_n},
          {SW, "ab"},
          {COMMIT_MARKER_TEMP_FILE, SN + " " + SW + "\n"}},
         {"temp_commit.dat, a commit marker that never took its place, deleted",
          "left by a change given up, holding nothing the store does not, deleted: "
          "temp_model_name.dat, temp_model_wave.dat"}},
        {"a legacy delete cut short",
         {{W, old_w}, {TN, del_n}, {TW, del_w}},
         {"a delete cut short finished: temp_name.dat and temp_wave.dat put in place of the "
          "store"}},
        {"a legacy save cut short",
         {{N, rep_n}, {W, old_w}, {SN, rep_n}, {SW, rep_w}},
         {"a save cut short finished: temp_model_name.dat and temp_model_wave.dat put in place "
          "of the store"}},
        {"a folder that does not tell",
         {{W, old_w}, {TN, del_n}, {TW, Block(1)}},
         {"locked: the folder does not tell which files are the store; every file kept and "
          "changes refused until they are checked: model_wave.dat, temp_name.dat, "
          "temp_wave.dat"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Close_store();
        for (const auto& [name, bytes] : StoreFolder()) {
            DeleteFile(name.c_str());
        }
        DeleteFile(surge_log::LOG_FILE);
        for (const auto& [name, bytes] : c.folder) {
            WriteWholeFile(name, bytes);
        }
        Open_store();
        std::vector<std::string> logged;
        std::istringstream log(ReadWholeFile(surge_log::LOG_FILE));
        for (std::string line; std::getline(log, line);) {
            // After the time (30 characters) and its blank.
            if (line.size() > 36 && line.compare(30, 6, "store ") == 0) {
                logged.push_back(line.substr(36));
            }
        }
        EXPECT_EQ(logged, c.logged);
    }
    ClearShownPopups();
}
