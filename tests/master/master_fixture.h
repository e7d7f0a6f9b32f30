// Stores built byte by byte as the legacy station writes them, and a clean slate per test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/surge.h"
#include "master/master.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

struct TestMaster {
    std::string name;  // code page 949 bytes, as in the file
    float voltage = 0;
    int width = 0;
    int pulse_no = 0;
    int area = 0;
    int phase = 0;
    int corona = 0;
    int seed = 0;  // picks the wave block
};

// The legacy writer's line.
inline std::string Line(const TestMaster& m) {
    char text[256];
    std::snprintf(text, sizeof text, "%s %2.1f %d %d %d %d %d\n", m.name.c_str(),
                  static_cast<double>(m.voltage), m.width, m.pulse_no, m.area, m.phase, m.corona);
    return text;
}

// 300 bytes, different for every seed and position.
inline std::string Block(int seed) {
    std::string block(WAVE_SAMPLES, '\0');
    for (int i = 0; i < WAVE_SAMPLES; ++i) {
        block[static_cast<std::size_t>(i)] = static_cast<char>((i * 7 + seed * 31) & 0xFF);
    }
    return block;
}

inline std::string Lines(const std::vector<TestMaster>& masters) {
    std::string text;
    for (const TestMaster& m : masters) {
        text += Line(m);
    }
    return text;
}

inline std::string Blocks(const std::vector<TestMaster>& masters) {
    std::string bytes;
    for (const TestMaster& m : masters) {
        bytes += Block(m.seed);
    }
    return bytes;
}

inline void WriteStore(const std::vector<TestMaster>& masters) {
    WriteWholeFile(MODEL_NAME_FILE, Lines(masters));
    WriteWholeFile(MODEL_WAVE_FILE, Blocks(masters));
}

inline std::string NameFile() {
    return ReadWholeFile(MODEL_NAME_FILE);
}
inline std::string WaveFile() {
    return ReadWholeFile(MODEL_WAVE_FILE);
}

// The current master, as a save would store it.
inline void SetCurrent(const char* name, float v, int w, int p, int a, int ph, int c, int seed) {
    MasterRecord master;
    std::snprintf(master.name, sizeof master.name, "%s", name);
    master.voltage = v;
    master.width = w;
    master.pulse_no = p;
    master.area = a;
    master.phase = ph;
    master.corona = c;
    const std::string block = Block(seed);
    std::copy(block.begin(), block.end(), master.wave.begin());
    Set_current_master(master);
}

inline std::string CurrentWave() {
    return std::string(reinterpret_cast<const char*>(wave.data()), WAVE_SAMPLES);
}

// The store's operations on the current master, as the panels use them.
inline SaveOutcome SaveCurrent(const std::function<bool()>& replace_same_name) {
    return Save_rewrite(Current_master(), replace_same_name);
}
inline bool Select(int n) {
    MasterRecord record;
    if (!Read_record(n, &record)) {
        return false;
    }
    Set_current_master(record);
    return true;
}
inline bool Delete(int n) {
    MasterRecord last;
    if (!Delete_record(n, &last)) {
        return false;
    }
    Set_current_master(last);
    return true;
}

inline const std::vector<TestMaster> THREE = {
    {"ALPHA", 1.5F, 1, 2, 3, 4, 5, 1},
    {"BRAVO", 2.5F, 2, 3, 4, 5, 6, 2},
    {"CHARLIE", 3.5F, 3, 4, 5, 6, 7, 3},
};

// The store's changes on THREE that the crash and limit tests interrupt.
struct StoreChange {
    const char* label;
    std::function<bool()> run;
};

inline std::vector<StoreChange> StoreChanges() {
    return {
        {"save in place of the middle record",
         [] {
             SetCurrent("BRAVO", 9.5F, 7, 8, 9, 10, 11, 60);
             return SaveCurrent([] { return true; }) == SaveOutcome::Saved;
         }},
        {"save appending a record",
         [] {
             SetCurrent("DELTA", 9.5F, 7, 8, 9, 10, 11, 61);
             return SaveCurrent([] { return true; }) == SaveOutcome::Saved;
         }},
        {"delete the middle record", [] { return Open_store() && Delete(2); }},
    };
}

class StoreTest : public ::testing::Test {
  protected:
    static bool StoreIs(const std::string& names, const std::string& waves) {
        return NameFile() == names && WaveFile() == waves;
    }
    // No temporary file or commit marker of a change is left in the folder.
    static bool NoLeftovers() {
        for (const char* file :
             {SAVE_TEMP_NAME_FILE, SAVE_TEMP_WAVE_FILE, DELETE_TEMP_NAME_FILE,
              DELETE_TEMP_WAVE_FILE, COMMIT_MARKER_FILE, COMMIT_MARKER_TEMP_FILE}) {
            if (FileExists(file)) {
                return false;
            }
        }
        return true;
    }
    void SetUp() override {
        Reset_program_state();
        Close_store();
        toolkit_testing::ClearShownPopups();
    }
    void TearDown() override {
        Close_store();
        // Every answer a test queued was asked for.
        EXPECT_EQ(toolkit_testing::PendingAnswers(), 0);
        for (int i = 0; i < 100 && toolkit_testing::PendingAnswers() > 0; ++i) {
            ConfirmPopup("", "");
        }
    }

    static std::vector<std::string> PopupTexts() {
        std::vector<std::string> texts;
        for (const auto& popup : toolkit_testing::ShownPopups()) {
            texts.push_back(popup.title + "|" + popup.text);
        }
        return texts;
    }

    ScopedWorkDir dir_;
};

// The three panels loaded as start-up loads them, with the zero lines on both graphs.
class PanelTest : public StoreTest {
  protected:
    static constexpr int ZERO_LINE_COLOUR = 0xC0C0C0;

    void SetUp() override {
        StoreTest::SetUp();
        registered_master_no = 0;
        selected_cell = Point{};
        selected_row_index = 0;
        Register_callbacks();
        mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
        setupHandle = LoadPanel(0, SURGE_UIR, SETUP);
        masterHandle = LoadPanel(0, SURGE_UIR, MASTER);
        ASSERT_GT(mainHandle, 0);
        ASSERT_GT(setupHandle, 0);
        ASSERT_GT(masterHandle, 0);
        PlotLine(mainHandle, MAIN_GRAPH, 0.0, 0.0, WAVE_SAMPLES - 1, 0.0, ZERO_LINE_COLOUR);
        PlotLine(setupHandle, SETUP_GRAPH, 0.0, 0.0, WAVE_SAMPLES - 1, 0.0, ZERO_LINE_COLOUR);
        DisplayPanel(setupHandle);
    }
    void TearDown() override {
        StoreTest::TearDown();
        DiscardPanel(mainHandle);
        DiscardPanel(setupHandle);
        DiscardPanel(masterHandle);
    }

    static std::string Text(int panel, int control) {
        char text[256] = "";
        GetCtrlVal(panel, control, text);
        return text;
    }
    static int Int(int panel, int control) {
        int value = -1;
        GetCtrlVal(panel, control, &value);
        return value;
    }
    static double Real(int panel, int control) {
        double value = -1;
        GetCtrlVal(panel, control, &value);
        return value;
    }
    // The plots of a graph other than its zero line.
    static std::vector<toolkit_testing::PlotInfo> WavePlots(int panel, int graph) {
        std::vector<toolkit_testing::PlotInfo> plots;
        for (const auto& plot : toolkit_testing::GraphPlots(panel, graph)) {
            if (plot.colour != ZERO_LINE_COLOUR) {
                plots.push_back(plot);
            }
        }
        return plots;
    }
    static bool PlotShowsWave(const toolkit_testing::PlotInfo& plot) {
        if (plot.y.size() != static_cast<std::size_t>(WAVE_SAMPLES)) {
            return false;
        }
        for (int i = 0; i < WAVE_SAMPLES; ++i) {
            if (plot.y[static_cast<std::size_t>(i)] != wave[i]) {
                return false;
            }
        }
        return true;
    }
    static std::string Cell(int row, int column) {
        return toolkit_testing::TableCellText(masterHandle, MASTER_TABLE, MakePoint(column, row));
    }
    static int Rows() { return toolkit_testing::TableRowCount(masterHandle, MASTER_TABLE); }
};
