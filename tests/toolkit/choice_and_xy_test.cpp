// The date field, the ring, graphs with set axes and x-y lines, a date axis, column widths from the
// resource and the file dialog's answer when the operator names a file to write.
#include <gtest/gtest.h>

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QTableWidget>

#include "app/surge.h"
#include "history/history_uir.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

class ChoiceAndXYTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Register_callbacks();
        panel_ = LoadPanel(0, "surge.uir", HISTORY);
        ASSERT_GT(panel_, 0);
    }
    void TearDown() override { DiscardPanel(panel_); }

    ScopedWorkDir dir_;
    int panel_ = 0;
};

}  // namespace

TEST_F(ChoiceAndXYTest, DatesAndRingsTakeOnlyWhatTheyCanShow) {
    const std::tuple<const char*, int, const char*> dates[] = {
        {"2026-02-28", 0, "2026-02-28"},
        {"2026-02-30", -1, "2026-02-28"},  // no such day: the field keeps its date
        {"28.02.2026", -1, "2026-02-28"},
    };
    for (const auto& [text, status, shown] : dates) {
        EXPECT_EQ(SetCtrlVal(panel_, HISTORY_FROM, text), status) << text;
        char value[16] = "";
        EXPECT_EQ(GetCtrlVal(panel_, HISTORY_FROM, value), 0);
        EXPECT_STREQ(value, shown) << text;
    }
    const std::tuple<int, int, int> rings[] = {{2, 0, 2}, {6, -1, 2}, {-1, -1, 2}, {0, 0, 0}};
    for (const auto& [index, status, shown] : rings) {
        EXPECT_EQ(SetCtrlVal(panel_, HISTORY_OUTCOME, index), status) << index;
        int value = -1;
        EXPECT_EQ(GetCtrlVal(panel_, HISTORY_OUTCOME, &value), 0);
        EXPECT_EQ(value, shown) << index;
    }
}

// A graph marked "xDates" is labelled with the dates of its x (days since 1970-01-01).
TEST_F(ChoiceAndXYTest, ADateAxisLabelsTheDaysOfItsRange) {
    const struct {
        double from, to;  // 20425 is 2025-12-03
        QStringList labels;
    } cases[] = {
        {20425, 20432, {"12-03", "12-05", "12-07", "12-09"}},
        {20425, 20428, {"12-03", "12-04", "12-05", "12-06"}},
        {20424.5, 20426, {"12-03", "12-04"}},
    };
    auto* view = qobject_cast<QChartView*>(ControlWidget(panel_, HISTORY_TREND));
    ASSERT_NE(view, nullptr);
    for (const auto& c : cases) {
        ASSERT_EQ(SetAxisRange(panel_, HISTORY_TREND, VAL_XAXIS, c.from, c.to), 0);
        QStringList labels;
        for (QAbstractAxis* axis : view->chart()->axes(Qt::Horizontal)) {
            if (auto* dates = qobject_cast<QCategoryAxis*>(axis)) {
                labels = dates->categoriesLabels();
            }
        }
        EXPECT_EQ(labels, c.labels) << c.from;
    }
}

TEST_F(ChoiceAndXYTest, XYLinesAxesColumnsAndANewFileToWrite) {
    const double x[] = {0.5, 1.5, 2.5};
    const double y[] = {10, 20, 15};
    EXPECT_EQ(SetAxisRange(panel_, HISTORY_TREND, VAL_XAXIS, 0, 3), 0);
    EXPECT_EQ(SetAxisRange(panel_, HISTORY_TREND, VAL_LEFT_YAXIS, 5, 5), -1);
    EXPECT_EQ(SetAxisRange(panel_, HISTORY_TABLE, VAL_XAXIS, 0, 3), -1);
    EXPECT_EQ(PlotXY(panel_, HISTORY_TREND, x, y, 0, 0x00FF00), -1);
    const int plot = PlotXY(panel_, HISTORY_TREND, x, y, 3, 0x00FF00);
    ASSERT_GT(plot, 0);
    const std::vector<PlotInfo> plots = GraphPlots(panel_, HISTORY_TREND);
    ASSERT_EQ(plots.size(), 1U);
    EXPECT_EQ(plots[0].colour, 0x00FF00);
    EXPECT_EQ(plots[0].x, std::vector<double>(x, x + 3));
    EXPECT_EQ(plots[0].y, std::vector<double>(y, y + 3));
    EXPECT_EQ(DeleteGraphPlot(panel_, HISTORY_TREND, plot, VAL_IMMEDIATE_DRAW), 0);

    auto* table = qobject_cast<QTableWidget*>(ControlWidget(panel_, HISTORY_TABLE));
    ASSERT_NE(table, nullptr);
    const QStringList widths = table->property("columnWidths").toString().split(',');
    ASSERT_EQ(widths.size(), table->columnCount());
    for (int column = 0; column + 1 < table->columnCount(); ++column) {
        EXPECT_EQ(table->columnWidth(column), widths[column].toInt()) << column;
    }

    WriteWholeFile(dir_.File("there.csv"), "x");
    const std::pair<std::string, int> answers[] = {
        {dir_.File("new.csv"), VAL_NEW_FILE_SELECTED},
        {dir_.File("there.csv"), VAL_EXISTING_FILE_SELECTED},
        {"", VAL_NO_FILE_SELECTED},
    };
    for (const auto& [answer, status] : answers) {
        QueueFileAnswer(answer);
        char path[256] = "";
        EXPECT_EQ(FileSelectPopup("", "*.csv", "*.csv", "저장", VAL_SAVE_BUTTON, 0, 1, 1, 1, path),
                  status)
            << answer;
    }
}
