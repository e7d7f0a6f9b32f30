// Loaded main and registration panels in a scratch directory, with the launcher, the date and
// the popups under the test's control. excel_path starts as start-up leaves it without a path
// file.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/surge.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

struct Launch {
    std::string program;
    std::string argument;
    bool operator==(const Launch&) const = default;
};

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LoadPanels();
        std::strcpy(excel_path, " chart.xls");
        toolkit_testing::ClearShownPopups();
        toolkit_testing::SetSystemDate(2024, 1, 3);
        toolkit_testing::SetLauncher([this](const std::string& program, const std::string& arg) {
            launches_.push_back({program, arg});
            return launch_status_;
        });
    }
    void TearDown() override {
        DiscardPanels();
        toolkit_testing::SetLauncher({});
        toolkit_testing::SetSystemDate(0, 0, 0);
    }
    void LoadPanels() {
        Reset_program_state();
        Register_callbacks();
        mainHandle = LoadPanel(0, "surge.uir", MAIN);
        setupHandle = LoadPanel(0, "surge.uir", SETUP);
        ASSERT_GT(mainHandle, 0);
        ASSERT_GT(setupHandle, 0);
    }
    void DiscardPanels() {
        DiscardPanel(mainHandle);
        DiscardPanel(setupHandle);
    }
    std::string PathField() {
        char text[EXCEL_PATH_SIZE + 40] = {0};
        GetCtrlVal(setupHandle, SETUP_EXCEL_PATH, text);
        return text;
    }
    std::vector<std::string> Warnings() {
        std::vector<std::string> texts;
        for (const auto& popup : toolkit_testing::ShownPopups()) {
            if (popup.kind == toolkit_testing::PopupKind::MESSAGE && popup.title == WARNING_TITLE) {
                texts.push_back(popup.text);
            }
        }
        return texts;
    }

    ScopedWorkDir dir_;
    std::vector<Launch> launches_;
    int launch_status_ = 0;
};
