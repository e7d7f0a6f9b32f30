// The chart panel and the report driven as the operator does, from the history panel.
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <filesystem>

#include "app/surge.h"
#include "history/history_panel.h"
#include "process/process_panel.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/process/process_fixture.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

class ChartPanelTest : public ::testing::Test {
  protected:
    ScopedWorkDir dir;

    void SetUp() override {
        std::vector<ProcessRecord> records;
        for (int k = 0; k < 60; ++k) {
            records.push_back({MinuteAfterSix(k), "U" + std::to_string(k), "M-01",
                               k % 20 == 3 ? "N.G" : "O.K", k < 55 ? 4 + k % 3 : 15, 3});
        }
        FillProcess(records);
        Reset_program_state();
        Register_callbacks();
        mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
        ASSERT_GT(mainHandle, 0);
        DisplayPanel(mainHandle);
        SetSystemDate(2026, 12, 9);
        Commit(mainHandle, MAIN_HISTORY);
        ClearShownPopups();
    }
    void TearDown() override {
        ResetChartPanel();
        ResetHistoryPanel();
        DiscardPanel(mainHandle);
        SetSystemDate(0, 0, 0);
    }

    static std::string Text(int panel, int control) {
        char text[256] = "";
        GetCtrlVal(panel, control, text);
        return text;
    }
    static std::vector<std::string> Warnings() {
        std::vector<std::string> texts;
        for (const auto& popup : ShownPopups()) {
            if (popup.kind == PopupKind::MESSAGE) {
                texts.push_back(popup.text);
            }
        }
        return texts;
    }
};

TEST_F(ChartPanelTest, TheChartOfTheFiltersMasterItsSignalsAndThePareto) {
    TypeText(historyHandle, HISTORY_MASTER, "M-01");
    Commit(historyHandle, HISTORY_CHART);
    ASSERT_GT(chartHandle, 0);
    EXPECT_TRUE(PanelIsVisible(chartHandle));
    EXPECT_FALSE(PanelIsVisible(historyHandle));
    EXPECT_EQ(Text(chartHandle, CHART_MASTER), "M-01 (버전 v1)   2026-12-03 ~ 2026-12-09");
    const auto* picture = static_cast<QLabel*>(ControlWidget(chartHandle, CHART_PICTURE));
    EXPECT_FALSE(picture->pixmap().isNull());
    // The last five, 15 against limits from the first 25 (4, 5, 6): rule 1 each, newest first.
    ASSERT_GE(TableRowCount(chartHandle, CHART_SIGNALS), 5);
    EXPECT_EQ(TableCellText(chartHandle, CHART_SIGNALS, MakePoint(1, 1)), "12-09 06:59:00");
    EXPECT_EQ(TableCellText(chartHandle, CHART_SIGNALS, MakePoint(2, 1)), "15");
    ClickTableCell(chartHandle, CHART_SIGNALS, MakePoint(1, 1));
    RunDeferredCalls();
    const std::string rule = Text(chartHandle, CHART_RULE);
    EXPECT_NE(rule.find("2026-12-09 06:59:00  면적 15:  규칙 1: 한 점이 3σ 밖"), std::string::npos)
        << rule;

    SetCtrlVal(chartHandle, CHART_ITEM, 2);
    Commit(chartHandle, CHART_ITEM);
    EXPECT_EQ(Text(chartHandle, CHART_RULE).rfind("N.G 대수 3 ", 0), 0u)
        << Text(chartHandle, CHART_RULE);
    EXPECT_EQ(TableRowCount(chartHandle, CHART_SIGNALS), 0);

    SetCtrlVal(chartHandle, CHART_ITEM, 0);
    SetCtrlVal(chartHandle, CHART_BASELINE, 1);
    Commit(chartHandle, CHART_BASELINE);
    EXPECT_GE(TableRowCount(chartHandle, CHART_SIGNALS), 1);
    EXPECT_EQ(Warnings(), std::vector<std::string>());

    Commit(chartHandle, CHART_QUIT);
    EXPECT_TRUE(PanelIsVisible(historyHandle));
    EXPECT_FALSE(PanelIsVisible(chartHandle));
}

TEST_F(ChartPanelTest, WithoutAMasterTheOperatorIsAskedForOne) {
    Commit(historyHandle, HISTORY_CHART);
    EXPECT_EQ(Warnings(), std::vector<std::string>{
                              "관리도를 볼 마스터를 조회 조건의 \"마스터\"에 먼저 입력하십시요."});
    EXPECT_TRUE(PanelIsVisible(historyHandle));
}

TEST_F(ChartPanelTest, TheReportOfTheFilterOrOfTheShiftIsWrittenWhereTheOperatorSays) {
    const struct {
        const char* name;
        int shift;  // the answer to "지금 근무조 ...?"
        std::string path;
        bool written;
        std::vector<std::string> warnings;
    } cases[] = {
        {"the filter's week", 0, dir.File("week.pdf"), true, {}},
        {"the current shift", 1, dir.File("shift.pdf"), true, {}},
        {"a folder that is not there",
         0,
         dir.File("none/week.pdf"),
         false,
         {"\"" + dir.File("none/week.pdf") +
          "\" 파일을 저장할 수 없습니다.\n저장할 곳과 디스크의 빈 자리를 확인하십시요."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearShownPopups();
        const std::string page = Text(historyHandle, HISTORY_PAGE);
        QueueConfirmAnswer(c.shift);
        QueueFileAnswer(c.path);
        Commit(historyHandle, HISTORY_REPORT);
        EXPECT_EQ(std::filesystem::exists(c.path), c.written);
        EXPECT_FALSE(std::filesystem::exists(c.path + ".part"));
        EXPECT_EQ(Warnings(), c.warnings);
        EXPECT_EQ(Text(historyHandle, HISTORY_PAGE), page);
    }
}

// The wave's readings on the same records: one in ten without a fit, the last five far above.
TEST_F(ChartPanelTest, TheFrequencyAndItsEwmaAmongTheViews) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "wave_columns");
        db.setDatabaseName(records::DATABASE_FILE);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(
            "UPDATE inspection_record SET ringing_frequency = CASE WHEN id % 10 = 5 THEN NULL"
            " WHEN id > 55 THEN 5.2 ELSE 5 + (id % 2) * 0.02 END, damping = CASE WHEN id % 10 ="
            " 5 THEN NULL ELSE 0.5 END"));
        db.close();
    }
    QSqlDatabase::removeDatabase("wave_columns");
    TypeText(historyHandle, HISTORY_MASTER, "M-01");
    Commit(historyHandle, HISTORY_CHART);
    const struct {
        int view;
        const char* value;  // of the newest signal
        const char* rules;
        const char* said;  // the rule line once it is chosen
    } cases[] = {
        {3, "5.2000", "1, 2, 3", "2026-12-09 06:59:00  주파수 5.2000:  규칙 1: 한 점이 3σ 밖"},
        {5, "5.2000", "EWMA", "2026-12-09 06:59:00  주파수 5.2000:  EWMA가 관리 한계 밖"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.view);
        SetCtrlVal(chartHandle, CHART_ITEM, c.view);
        Commit(chartHandle, CHART_ITEM);
        ASSERT_GE(TableRowCount(chartHandle, CHART_SIGNALS), 1);
        EXPECT_EQ(TableCellText(chartHandle, CHART_SIGNALS, MakePoint(2, 1)), c.value);
        EXPECT_EQ(TableCellText(chartHandle, CHART_SIGNALS, MakePoint(3, 1)), c.rules);
        ClickTableCell(chartHandle, CHART_SIGNALS, MakePoint(1, 1));
        RunDeferredCalls();
        EXPECT_EQ(Text(chartHandle, CHART_RULE).rfind(c.said, 0), 0u)
            << Text(chartHandle, CHART_RULE);
    }
    // The damping never varies: no spread, so its EWMA view shows its I-MR chart, signal-free.
    SetCtrlVal(chartHandle, CHART_ITEM, 6);
    Commit(chartHandle, CHART_ITEM);
    EXPECT_EQ(TableRowCount(chartHandle, CHART_SIGNALS), 0);
    EXPECT_EQ(Warnings(), std::vector<std::string>());
}

}  // namespace
