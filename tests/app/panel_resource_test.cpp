// The panel resource and the code agree on every control: its id, its kind and its callback.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

#include "access/access_uir.h"
#include "app/surge.h"
#include "history/history_uir.h"
#include "process/chart_uir.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

using Expected = std::map<int, std::pair<std::string, std::string>>;  // id -> kind, callback

const std::map<int, Expected> PANELS = {
    {MAIN,
     {{MAIN_GRAPH, {"graph", ""}},
      {MAIN_NG_LED, {"lamp", ""}},
      {MAIN_OK_LED, {"lamp", ""}},
      {MAIN_WIDTH, {"string", ""}},
      {MAIN_BUSY_LED, {"lamp", ""}},
      {MAIN_PHASE, {"string", ""}},
      {MAIN_MODEL, {"string", ""}},
      {MAIN_CMD_26, {"button", "Master_setup"}},
      {MAIN_CMD_27, {"button", "Excel"}},
      {MAIN_CMD_28, {"button", "Quit"}},
      {MAIN_CMD_29, {"button", "Main_stop"}},
      {MAIN_CMD_30, {"button", "Main_start"}},
      {MAIN_AREA, {"string", ""}},
      {MAIN_JUDGE, {"string", ""}},
      {MAIN_VOLTAGE, {"string", ""}},
      {MAIN_PULSE, {"string", ""}},
      {MAIN_SERIAL, {"string", "Main_serial"}},
      {MAIN_TESTED, {"string", ""}},
      {MAIN_OK_COUNT, {"string", ""}},
      {MAIN_NG_COUNT, {"string", ""}},
      {MAIN_YIELD, {"string", ""}},
      {MAIN_RECORDING, {"lamp", ""}},
      {MAIN_RECORDING_OFF, {"lamp", ""}},
      {MAIN_WAITING, {"string", ""}},
      {MAIN_SERIAL_REFUSED, {"string", ""}},
      {MAIN_DRIFT, {"string", ""}},
      {MAIN_WAVE, {"string", ""}},
      {MAIN_BAND, {"check", "Main_band"}},
      {MAIN_FIRST_PASS, {"string", ""}},
      {MAIN_RETEST, {"string", ""}},
      {MAIN_GATE, {"string", ""}},
      {MAIN_GATE_NOTE, {"string", ""}},
      {MAIN_HISTORY, {"button", "History_open"}},
      {MAIN_USER, {"string", ""}},
      {MAIN_LOGOUT, {"button", "Logout"}}}},
    {SETUP,
     {{SETUP_EXCEL_PATH, {"string", ""}},
      {SETUP_GRAPH, {"graph", ""}},
      {SETUP_CORONA, {"int", "Corona"}},
      {SETUP_PHASE, {"int", ""}},
      {SETUP_AREA, {"int", ""}},
      {SETUP_DELAY_TIME, {"double", "Delay_time"}},
      {SETUP_PULSE, {"int", ""}},
      {SETUP_WIDTH, {"int", ""}},
      {SETUP_VOLTAGE, {"double", ""}},
      {SETUP_UPLOAD, {"button", "Master_upload"}},
      {SETUP_DOWNLOAD, {"button", "Master_download"}},
      {SETUP_SAVE, {"button", "Master_save"}},
      {SETUP_LIST, {"button", "Master_list"}},
      {SETUP_QUIT, {"button", "Master_quit"}},
      {SETUP_EXCEL_SELECT, {"button", "Excel_path_select"}},
      {SETUP_MODEL_NAME, {"string", "Model"}}}},
    {MASTER,
     {{MASTER_SELECT, {"button", "Master_select"}},
      {MASTER_DELETE, {"button", "Master_delete"}},
      {MASTER_CANCEL, {"button", "Master_cancel"}},
      {MASTER_COUNT, {"int", ""}},
      {MASTER_TABLE, {"table", "TableCB"}}}},
    {HISTORY,
     {{HISTORY_FROM, {"string", ""}},
      {HISTORY_TO, {"string", ""}},
      {HISTORY_MASTER, {"string", "History_search"}},
      {HISTORY_SERIAL, {"string", "History_search"}},
      {HISTORY_OUTCOME, {"int", "History_search"}},
      {HISTORY_SEARCH, {"button", "History_search"}},
      {HISTORY_TESTED, {"string", ""}},
      {HISTORY_OK, {"string", ""}},
      {HISTORY_NG, {"string", ""}},
      {HISTORY_YIELD, {"string", ""}},
      {HISTORY_TABLE, {"table", "History_table"}},
      {HISTORY_TREND, {"graph", ""}},
      {HISTORY_WAVES, {"graph", ""}},
      {HISTORY_PAGE, {"string", ""}},
      {HISTORY_NEWER, {"button", "History_newer"}},
      {HISTORY_OLDER, {"button", "History_older"}},
      {HISTORY_EXPORT, {"button", "History_export"}},
      {HISTORY_EXPORT_WAVES, {"button", "History_export_waves"}},
      {HISTORY_QUIT, {"button", "History_quit"}},
      {HISTORY_STATION, {"string", "History_search"}},
      {HISTORY_FIRST_PASS, {"string", ""}},
      {HISTORY_FINAL_YIELD, {"string", ""}},
      {HISTORY_RETEST_PASSED, {"string", ""}},
      {HISTORY_RETESTED, {"button", "History_retested"}},
      {HISTORY_GATES, {"string", ""}},
      {HISTORY_OPERATOR, {"string", "History_search"}},
      {HISTORY_AUDIT, {"button", "History_audit"}},
      {HISTORY_CHART, {"button", "History_chart"}},
      {HISTORY_REPORT, {"button", "History_report"}},
      {HISTORY_LEARN, {"button", "History_learn"}}}},
    {LOGIN,
     {{LOGIN_NAME, {"string", ""}},
      {LOGIN_PASSWORD, {"string", ""}},
      {LOGIN_OK, {"button", "Login_ok"}},
      {LOGIN_MESSAGE, {"string", ""}},
      {LOGIN_QUIT, {"button", "Quit"}}}},
    {AUDIT,
     {{AUDIT_TABLE, {"table", ""}},
      {AUDIT_COUNT, {"string", ""}},
      {AUDIT_QUIT, {"button", "Audit_quit"}}}},
    {CHART,
     {{CHART_MASTER, {"string", ""}},
      {CHART_ITEM, {"int", "Chart_show"}},
      {CHART_BASELINE, {"int", "Chart_show"}},
      {CHART_PICTURE, {"picture", ""}},
      {CHART_SIGNALS, {"table", "Chart_signals"}},
      {CHART_RULE, {"string", ""}},
      {CHART_QUIT, {"button", "Chart_quit"}}}},
};

TEST(PanelResourceTest, EveryControlHasItsIdKindCallbackAndAnAccessibleName) {
    for (const auto& [panel, expected] : PANELS) {
        const std::vector<ControlInfo> declared = DeclaredControls(SURGE_UIR_PATH, panel);
        std::map<int, ControlInfo> by_id;
        std::set<std::string> labels;
        for (const ControlInfo& c : declared) {
            EXPECT_TRUE(by_id.emplace(c.id, c).second) << "panel " << panel << " id " << c.id;
            EXPECT_FALSE(c.label.empty()) << "panel " << panel << " id " << c.id;
            EXPECT_TRUE(labels.insert(c.label).second) << "label " << c.label << " twice";
        }
        EXPECT_EQ(by_id.size(), expected.size()) << "panel " << panel;
        for (const auto& [id, kind_and_callback] : expected) {
            auto it = by_id.find(id);
            ASSERT_NE(it, by_id.end()) << "panel " << panel << " lacks control " << id;
            EXPECT_EQ(it->second.kind, kind_and_callback.first)
                << "panel " << panel << " id " << id;
            EXPECT_EQ(it->second.callback, kind_and_callback.second)
                << "panel " << panel << " id " << id;
        }
    }
}

TEST(PanelResourceTest, EveryPanelBindsCompletely) {
    ScopedWorkDir dir;
    Register_callbacks();
    for (int id : {MAIN, SETUP, MASTER, HISTORY, LOGIN, AUDIT, CHART}) {
        const int handle = LoadPanel(0, "surge.uir", id);
        EXPECT_GT(handle, 0) << "panel " << id;
        DiscardPanel(handle);
    }
}

TEST(PanelResourceTest, TheStationStartsReadyWithNoVerdictAndNothingToStop) {
    ScopedWorkDir dir;
    Register_callbacks();
    const int panel = LoadPanel(0, "surge.uir", MAIN);
    ASSERT_GT(panel, 0);
    const std::tuple<int, int, int> states[] = {
        {MAIN_OK_LED, ATTR_VISIBLE, 0},   {MAIN_NG_LED, ATTR_VISIBLE, 0},
        {MAIN_BUSY_LED, ATTR_VISIBLE, 0}, {MAIN_CMD_26, ATTR_DIMMED, 0},
        {MAIN_CMD_27, ATTR_DIMMED, 0},    {MAIN_CMD_28, ATTR_DIMMED, 0},
        {MAIN_CMD_29, ATTR_DIMMED, 1},    {MAIN_CMD_30, ATTR_DIMMED, 1},
    };
    for (auto [control, attribute, want] : states) {
        int value = -1;
        GetCtrlAttribute(panel, control, attribute, &value);
        EXPECT_EQ(value, want) << "control " << control << " attribute " << attribute;
    }
    DiscardPanel(panel);
}

}  // namespace
