// The main panel with the history started in a fresh working directory, surge-sim on the line,
// and the records read back through a connection of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/surge.h"
#include "history/history_uir.h"
#include "history/recorder.h"
#include "instrument/serial.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/file_rows.h"
#include "tests/support/sim_process.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

constexpr const char* HISTORY_FILE = "inspection_history.db";

// An inspection with its verdict (or none), started and ended at `at`.
inline Inspection Inspected(
    Outcome outcome, std::chrono::system_clock::time_point at = std::chrono::system_clock::now()) {
    Inspection inspection;
    inspection.started_at = inspection.ended_at = at;
    inspection.outcome = outcome;
    if (outcome == Outcome::INCOMPLETE) {
        inspection.failed_command = "WT";
    }
    return inspection;
}

// The rows of `sql` on the history file, each column as text ("NULL" for a null).
inline FileRows Query(const std::string& sql) {
    return QueryFile(sql, HISTORY_FILE);
}

class HistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_program_state();
        Register_callbacks();
        mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
        ASSERT_GT(mainHandle, 0);
        // As leaving the registration panel with master "M-01" does.
        std::strcpy(master_name, "M-01");
        Show_model(master_name);
        SetCtrlAttribute(mainHandle, MAIN_CMD_30, ATTR_DIMMED, 0);
        toolkit_testing::ClearShownPopups();
    }
    void TearDown() override {
        history::Stop();
        if (sim_) {
            Close_com_port();
            sim_.reset();
        }
        DiscardPanel(mainHandle);
    }
    void Connect(const std::vector<std::string>& options) {
        if (sim_) {
            Close_com_port();
        }
        sim_.emplace(options);
        Init_com_port();
    }
    // One cycle for the unit `serial`, as the barcode scanner starts it.
    void Cycle(const std::string& serial = "SN-1") {
        toolkit_testing::TypeText(mainHandle, MAIN_SERIAL, serial);
        toolkit_testing::Commit(mainHandle, MAIN_CMD_30);
    }
    static std::string Text(int control) {
        char text[64] = {0};
        GetCtrlVal(mainHandle, control, text);
        return text;
    }
    static int Shown(int control) {
        int value = -1;
        GetCtrlAttribute(mainHandle, control, ATTR_VISIBLE, &value);
        return value;
    }
    // Tested, O.K, N.G, yield and whether recording is on, as the strip shows them.
    static std::vector<std::string> StripShown() {
        return {Text(MAIN_TESTED), Text(MAIN_OK_COUNT), Text(MAIN_NG_COUNT), Text(MAIN_YIELD),
                Shown(MAIN_RECORDING) == 1 && Shown(MAIN_RECORDING_OFF) == 0 ? "on" : "off"};
    }
    static int Warnings() {
        int count = 0;
        for (const auto& popup : toolkit_testing::ShownPopups()) {
            count += popup.title == "경  고";
        }
        return count;
    }

    ScopedWorkDir dir_;
    std::optional<SimProcess> sim_;
};
