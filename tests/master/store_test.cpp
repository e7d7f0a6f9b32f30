// The store files: formats, the scan, reading, deleting and the save rewrite, damaged input.
#include <string>
#include <vector>

#include "tests/master/master_fixture.h"

using namespace toolkit_testing;

namespace {

std::vector<MasterRecord> Scan() {
    std::vector<MasterRecord> rows;
    List_scan([&rows](const MasterRecord& row) { rows.push_back(row); });
    return rows;
}

bool Yes() {
    return true;
}

bool NoTemporaryFiles() {
    for (const char* file : {SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE, DELETE_TEMP_NAME_FILE,
                             DELETE_TEMP_WAVE_FILE, COMMIT_MARKER_FILE, COMMIT_MARKER_TEMP_FILE}) {
        if (FileExists(file)) {
            return false;
        }
    }
    return true;
}

TestMaster CurrentAs(const std::string& name, int seed) {
    return {name, voltage, width, pulse_no, area, phase, corona, seed};
}

}  // namespace

TEST_F(StoreTest, MissingStoreIsCreatedEmptyAndTheFirstSaveWritesOneRecord) {
    ASSERT_TRUE(Open_store());
    EXPECT_EQ(file_opened, 1);
    EXPECT_TRUE(FileExists(MODEL_NAME_FILE));
    EXPECT_TRUE(FileExists(MODEL_WAVE_FILE));
    EXPECT_TRUE(Scan().empty());
    Close_store();

    SetCurrent("FIRST", 25.0F, 3, 5, 10, 10, 2, 7);
    EXPECT_EQ(SaveCurrent(Yes), SaveOutcome::Saved);
    EXPECT_EQ(NameFile(), "FIRST 25.0 3 5 10 10 2\n");
    EXPECT_EQ(WaveFile(), Block(7));
    EXPECT_EQ(file_opened, 0);
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(StoreTest, SaveReplacesInPlaceOrAppends) {
    struct Case {
        const char* label;
        std::vector<TestMaster> stored;
        const char* entered;
        std::vector<int> answers;
        SaveOutcome outcome;
        int questions;
        std::vector<int> replaced;  // positions that take the current master; -1 = appended
    };
    const std::vector<TestMaster> twice = {THREE[0], {"BRAVO", 9.0F, 9, 9, 9, 9, 9, 8}, THREE[1]};
    const std::vector<Case> cases = {
        {"new name appends", THREE, "DELTA", {}, SaveOutcome::Saved, 0, {-1}},
        {"same name, yes", THREE, "BRAVO", {1}, SaveOutcome::Saved, 1, {1}},
        {"same name, no", THREE, "BRAVO", {0}, SaveOutcome::Declined, 1, {}},
        {"names are case-sensitive", THREE, "bravo", {}, SaveOutcome::Saved, 0, {-1}},
        {"two of one name, yes and yes", twice, "BRAVO", {1, 1}, SaveOutcome::Saved, 2, {1, 2}},
        {"two of one name, yes then no", twice, "BRAVO", {1, 0}, SaveOutcome::Declined, 2, {}},
        {"two of one name, no at the first", twice, "BRAVO", {0}, SaveOutcome::Declined, 1, {}},
        {"empty store", {}, "DELTA", {}, SaveOutcome::Saved, 0, {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WriteStore(c.stored);
        SetCurrent(c.entered, 12.0F, 4, 6, 8, 9, 1, 42);
        std::vector<int> answers = c.answers;
        int asked = 0;
        const SaveOutcome outcome = SaveCurrent([&] {
            const int answer = asked < static_cast<int>(answers.size()) ? answers[asked] : 0;
            ++asked;
            return answer == 1;
        });
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(asked, c.questions);

        std::vector<TestMaster> expected = c.stored;
        for (int position : c.replaced) {
            if (position < 0) {
                expected.push_back(CurrentAs(c.entered, 42));
            } else {
                expected[static_cast<std::size_t>(position)] =
                    CurrentAs(expected[static_cast<std::size_t>(position)].name, 42);
            }
        }
        EXPECT_EQ(NameFile(), Lines(expected));
        EXPECT_EQ(WaveFile(), Blocks(expected));
        EXPECT_EQ(file_opened, 0);
        EXPECT_TRUE(NoTemporaryFiles());
    }
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(StoreTest, SavingTwiceUnderOneNameKeepsOneRecord) {
    WriteStore(THREE);
    SetCurrent("ECHO", 1.0F, 1, 1, 1, 1, 1, 50);
    ASSERT_EQ(SaveCurrent(Yes), SaveOutcome::Saved);
    SetCurrent("ECHO", 2.0F, 2, 2, 2, 2, 2, 51);
    ASSERT_EQ(SaveCurrent(Yes), SaveOutcome::Saved);
    std::vector<TestMaster> expected = THREE;
    expected.push_back({"ECHO", 2.0F, 2, 2, 2, 2, 2, 51});
    EXPECT_EQ(NameFile(), Lines(expected));
    EXPECT_EQ(WaveFile(), Blocks(expected));
}

TEST_F(StoreTest, ReadRecordTakesTheNthLineAndTheNthBlock) {
    std::vector<TestMaster> stored = THREE;
    stored.push_back({"DELTA", 25.0F, 7, 20, 99, 98, 97, 4});
    WriteStore(stored);
    ASSERT_TRUE(Open_store());
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        const TestMaster& m = stored[static_cast<std::size_t>(n - 1)];
        ASSERT_TRUE(Select(n));
        EXPECT_STREQ(master_name, m.name.c_str());
        EXPECT_FLOAT_EQ(voltage, m.voltage);
        EXPECT_EQ(width, m.width);
        EXPECT_EQ(pulse_no, m.pulse_no);
        EXPECT_EQ(area, m.area);
        EXPECT_EQ(phase, m.phase);
        EXPECT_EQ(corona, m.corona);
        // Record n's wave lies at bytes (n - 1) * 300 to n * 300 - 1.
        EXPECT_EQ(CurrentWave(), WaveFile().substr(static_cast<std::size_t>(n - 1) * 300, 300));
        EXPECT_EQ(CurrentWave(), Block(m.seed));
    }
    EXPECT_EQ(file_opened, 1);
}

TEST_F(StoreTest, DeleteKeepsOrderAndLeavesTheLastRecordReadInTheCurrentMaster) {
    struct Case {
        const char* label;
        std::vector<TestMaster> stored;
        int n;
        std::vector<TestMaster> left;
        TestMaster current;
    };
    const std::vector<Case> cases = {
        {"the middle of three", THREE, 2, {THREE[0], THREE[2]}, THREE[2]},
        {"the first of three", THREE, 1, {THREE[1], THREE[2]}, THREE[2]},
        {"the last of three", THREE, 3, {THREE[0], THREE[1]}, THREE[2]},
        {"the only one", {THREE[1]}, 1, {}, THREE[1]},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WriteStore(c.stored);
        SetCurrent("BEFORE", 0.0F, 0, 0, 0, 0, 0, 99);
        ASSERT_TRUE(Open_store());
        ASSERT_TRUE(Delete(c.n));
        EXPECT_EQ(NameFile(), Lines(c.left));
        EXPECT_EQ(WaveFile(), Blocks(c.left));
        EXPECT_TRUE(FileExists(MODEL_NAME_FILE));
        EXPECT_TRUE(FileExists(MODEL_WAVE_FILE));
        EXPECT_EQ(file_opened, 1);
        EXPECT_TRUE(NoTemporaryFiles());
        EXPECT_STREQ(master_name, c.current.name.c_str());
        EXPECT_FLOAT_EQ(voltage, c.current.voltage);
        EXPECT_EQ(corona, c.current.corona);
        EXPECT_EQ(CurrentWave(), Block(c.current.seed));
        Close_store();
    }
}

TEST_F(StoreTest, ADeletePairLeftBehindDoesNotLeadTheNewStore) {
    WriteStore(THREE);
    // A pair cut short while it copied this store (one that holds anything else is kept).
    WriteWholeFile(DELETE_TEMP_NAME_FILE, Line(THREE[0]));
    WriteWholeFile(DELETE_TEMP_WAVE_FILE, Block(1).substr(0, 100));
    WriteWholeFile(SAVE_TEMP_NAME_FILE, "HALF 1.0 1");
    ASSERT_TRUE(Open_store());
    EXPECT_TRUE(NoTemporaryFiles());
    ASSERT_TRUE(Delete(1));
    EXPECT_EQ(NameFile(), Lines({THREE[1], THREE[2]}));
    EXPECT_EQ(WaveFile(), Blocks({THREE[1], THREE[2]}));
}

TEST_F(StoreTest, LineEndsAndBlankLinesReadAlike) {
    const std::string lf = Lines(THREE);
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    for (const std::string& text :
         {lf, crlf, "\n\n" + crlf + "\r\n  \n", lf.substr(0, lf.size() - 1)}) {
        WriteWholeFile(MODEL_NAME_FILE, text);
        WriteWholeFile(MODEL_WAVE_FILE, Blocks(THREE));
        const std::vector<MasterRecord> rows = Scan();
        ASSERT_EQ(rows.size(), 3U);
        EXPECT_STREQ(rows[2].name, "CHARLIE");
        EXPECT_EQ(rows[2].corona, 7);
        ASSERT_TRUE(Select(3));
        EXPECT_EQ(CurrentWave(), Block(3));
        // A rewrite writes the legacy line ends.
        ASSERT_TRUE(Delete(1));
        EXPECT_EQ(NameFile(), Lines({THREE[1], THREE[2]}));
        Close_store();
    }
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(StoreTest, VoltageKeepsOneDecimal) {
    WriteStore({{"V", 0.0F, 0, 0, 0, 0, 0, 1}});
    WriteWholeFile(MODEL_NAME_FILE, "V 12.34 0 0 0 0 0\n");
    SetCurrent("W", 25.0F, 0, 0, 0, 0, 0, 2);
    ASSERT_EQ(SaveCurrent(Yes), SaveOutcome::Saved);
    // Every line is written anew with one decimal.
    EXPECT_EQ(NameFile(), "V 12.3 0 0 0 0 0\nW 25.0 0 0 0 0 0\n");
    ASSERT_TRUE(Select(2));
    EXPECT_FLOAT_EQ(voltage, 25.0F);
}

TEST_F(StoreTest, LinesAreWrittenAsTheLegacyFormatWritesThem) {
    const float voltages[] = {0.0F,   0.05F,  0.25F,  0.35F,  1.25F,   12.35F,
                              -3.45F, 99.95F, 1.0e7F, -0.04F, 3.0e38F, 8.0F};
    const int extremes[] = {0, -1, 2147483647, -2147483647 - 1};
    for (float v : voltages) {
        for (int i : extremes) {
            SCOPED_TRACE(std::to_string(v) + " " + std::to_string(i));
            WriteStore({});
            SetCurrent("V", v, i, i, i, 7, i, 1);
            ASSERT_EQ(SaveCurrent(Yes), SaveOutcome::Saved);
            EXPECT_EQ(NameFile(), Line({"V", v, i, i, i, 7, i, 1}));
        }
    }
}

TEST_F(StoreTest, NamesCrossTheFileBoundaryInCodePage949) {
    // A store as the legacy station wrote it: 똠방각하 (똠 exists only in the Windows code page).
    const std::string legacy_name = "\x8C\x63\xB9\xE6\xB0\xA2\xC7\xCF";
    WriteStore({{legacy_name, 3.0F, 1, 2, 3, 4, 5, 1}});
    const std::vector<MasterRecord> rows = Scan();
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_STREQ(rows[0].name, "똠방각하");
    ASSERT_TRUE(Select(1));
    EXPECT_STREQ(master_name, "똠방각하");
    Close_store();

    // Saved back under its name, the record is replaced, and a new Korean name is written in
    // code page 949 too; twelve syllables fit.
    SetCurrent("똠방각하", 4.0F, 1, 1, 1, 1, 1, 2);
    ASSERT_EQ(SaveCurrent(Yes), SaveOutcome::Saved);
    SetCurrent("가나다라마바사아자차카타", 5.0F, 1, 1, 1, 1, 1, 3);
    ASSERT_EQ(SaveCurrent(Yes), SaveOutcome::Saved);
    EXPECT_EQ(NameFile(), legacy_name + " 4.0 1 1 1 1 1\n" +
                              "\xB0\xA1\xB3\xAA\xB4\xD9\xB6\xF3\xB8\xB6\xB9\xD9\xBB\xE7\xBE\xC6"
                              "\xC0\xDA\xC2\xF7\xC4\xAB\xC5\xB8 5.0 1 1 1 1 1\n");
    ASSERT_TRUE(Select(2));
    EXPECT_STREQ(master_name, "가나다라마바사아자차카타");
}

namespace {

// A piece of the set-aside file.
std::string Piece(const char* file, int position, const std::string& bytes) {
    return std::string(file) + " " + std::to_string(position) + " " + std::to_string(bytes.size()) +
           "\n" + bytes + "\n";
}

}  // namespace

TEST_F(StoreTest, ADamagedStoreListsWhatItCanAndARewriteSetsTheRestAside) {
    struct Case {
        const char* label;
        std::string names;
        std::string waves;
        std::vector<TestMaster> listed;  // the records that read, in store order
        std::string set_aside;
    };
    const std::string A = Line(THREE[0]);
    const std::string C = Line(THREE[2]);
    const std::string long_line = std::string(10000, 'X') + " 1.0 1 1 1 1 1";
    const std::string nul_line = "BRA" + std::string(1, '\0') + "VO 2.5 2 3 4 5 6";
    const std::vector<TestMaster> A_C = {THREE[0], THREE[2]};
    auto line_2 = [](const std::string& text) {
        return Piece(MODEL_NAME_FILE, 2, text) + Piece(MODEL_WAVE_FILE, 2, Block(2));
    };
    const std::vector<Case> cases = {
        {"a name with a blank", A + "BRA VO 2.5 2 3 4 5 6\r\n" + C, Blocks(THREE), A_C,
         line_2("BRA VO 2.5 2 3 4 5 6\r")},
        {"a 10,000-byte token", A + long_line + "\n" + C, Blocks(THREE), A_C, line_2(long_line)},
        {"a non-numeric field", A + "BRAVO 2.5 two 3 4 5 6\n" + C, Blocks(THREE), A_C,
         line_2("BRAVO 2.5 two 3 4 5 6")},
        {"a NUL byte", A + nul_line + "\n" + C, Blocks(THREE), A_C, line_2(nul_line)},
        {"a missing field", A + "BRAVO 2.5 2 3 4 5\n" + C, Blocks(THREE), A_C,
         line_2("BRAVO 2.5 2 3 4 5")},
        {"an int out of range", A + "BRAVO 2.5 2 3 4 5 99999999999\n" + C, Blocks(THREE), A_C,
         line_2("BRAVO 2.5 2 3 4 5 99999999999")},
        {"a name that is not code page 949", A + "B\xA1 2.5 2 3 4 5 6\n" + C, Blocks(THREE), A_C,
         line_2("B\xA1 2.5 2 3 4 5 6")},
        {"a wave file one block short",
         Lines(THREE),
         Blocks({THREE[0], THREE[1]}),
         {THREE[0], THREE[1]},
         Piece(MODEL_NAME_FILE, 3, C.substr(0, C.size() - 1))},
        {"a wave file one block long", Lines(THREE), Blocks(THREE) + Block(9), THREE,
         Piece(MODEL_WAVE_FILE, 4, Block(9))},
        {"a wave file a part of a block long", Lines(THREE), Blocks(THREE) + "xyz", THREE,
         Piece(MODEL_WAVE_FILE, 4, "xyz")},
        {"a short last block",
         Lines(THREE),
         Blocks(THREE).substr(0, 700),
         {THREE[0], THREE[1]},
         Piece(MODEL_NAME_FILE, 3, C.substr(0, C.size() - 1)) +
             Piece(MODEL_WAVE_FILE, 3, Block(3).substr(0, 100))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WriteWholeFile(MODEL_NAME_FILE, c.names);
        WriteWholeFile(MODEL_WAVE_FILE, c.waves);
        DeleteFile(SET_ASIDE_FILE);
        ClearShownPopups();

        // Every record that reads is listed, and can be read; the damage is told once.
        const std::vector<MasterRecord> rows = Scan();
        ASSERT_EQ(rows.size(), c.listed.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_STREQ(rows[i].name, c.listed[i].name.c_str());
            ASSERT_TRUE(Select(static_cast<int>(i) + 1));
            EXPECT_EQ(CurrentWave(), Block(c.listed[i].seed));
        }
        ASSERT_EQ(ShownPopups().size(), 1U);
        EXPECT_EQ(ShownPopups()[0].title, "경  고");
        EXPECT_EQ(ShownPopups()[0].text.rfind(STORE_DAMAGED_TEXT, 0), 0U);
        EXPECT_EQ(NameFile(), c.names);
        EXPECT_EQ(WaveFile(), c.waves);
        Close_store();

        // A save goes through: the new master pairs with its own block, and what did not read
        // is in the set-aside file, byte for byte.
        ClearShownPopups();
        SetCurrent("NEW", 1.0F, 1, 1, 1, 1, 1, 5);
        EXPECT_EQ(SaveCurrent(Yes), SaveOutcome::Saved);
        std::vector<TestMaster> expected = c.listed;
        expected.push_back({"NEW", 1.0F, 1, 1, 1, 1, 1, 5});
        EXPECT_EQ(NameFile(), Lines(expected));
        EXPECT_EQ(WaveFile(), Blocks(expected));
        EXPECT_EQ(ReadWholeFile(SET_ASIDE_FILE), c.set_aside);
        EXPECT_EQ(PopupTexts(),
                  std::vector<std::string>{"경  고|" + std::string(STORE_SET_ASIDE_TEXT)});
        EXPECT_TRUE(NoTemporaryFiles());

        // The store is sound again; a later delete sets nothing more aside.
        ClearShownPopups();
        ASSERT_TRUE(Delete(1));
        expected.erase(expected.begin());
        EXPECT_EQ(NameFile(), Lines(expected));
        EXPECT_EQ(WaveFile(), Blocks(expected));
        EXPECT_EQ(ReadWholeFile(SET_ASIDE_FILE), c.set_aside);
        EXPECT_TRUE(ShownPopups().empty());
        Close_store();
    }
}

TEST_F(StoreTest, MasterNameRules) {
    struct Case {
        const char* name;
        bool valid;
    };
    const Case cases[] = {
        {"", false},
        {"A", true},
        {"ABCDEFGHIJKL", true},
        {"ABCDEFGHIJKLM", false},
        {"가나다라마바사아자차카타", true},
        {"가나다라마바사아자차카타파", false},
        {"똠방각하", true},
        {"A B", false},
        {"A\tB", false},
        {"AB\r", false},
        {"A\u3000B", false},
        {"A😀", false},     // not in code page 949
        {"Ａ１２", true},  // full-width forms are in the code page
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Is_valid_master_name(c.name), c.valid) << c.name;
    }
}
