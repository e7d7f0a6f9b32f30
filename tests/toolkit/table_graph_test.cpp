// Tables (rows and columns from 1) and graphs (plots with ids).
#include <gtest/gtest.h>

#include <QValueAxis>

#include "app/surge.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/work_dir.h"
#include "toolkit/graph_widget.h"
#include "toolkit/internal.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

class TableGraphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Register_callbacks();
        master_ = LoadPanel(0, "surge.uir", MASTER);
        main_ = LoadPanel(0, "surge.uir", MAIN);
        ASSERT_GT(master_, 0);
        ASSERT_GT(main_, 0);
    }
    void TearDown() override {
        DiscardPanel(master_);
        DiscardPanel(main_);
    }
    void AppendNamedRows(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            InsertTableRows(master_, MASTER_TABLE, -1, 1, VAL_USE_MASTER_CELL_TYPE);
            SetTableCellVal(master_, MASTER_TABLE,
                            MakePoint(1, TableRowCount(master_, MASTER_TABLE)), name);
        }
    }
    std::string Name(int row) { return TableCellText(master_, MASTER_TABLE, MakePoint(1, row)); }

    ScopedWorkDir dir_;
    int master_ = 0;
    int main_ = 0;
};

TEST_F(TableGraphTest, RowsAppendDeleteAndMoveUp) {
    AppendNamedRows({"A", "B", "C", "D"});
    ASSERT_EQ(TableRowCount(master_, MASTER_TABLE), 4);
    DeleteTableRows(master_, MASTER_TABLE, 2, 1);
    EXPECT_EQ(TableRowCount(master_, MASTER_TABLE), 3);
    EXPECT_EQ(Name(2), "C");
    DeleteTableRows(master_, MASTER_TABLE, 2, -1);
    EXPECT_EQ(TableRowCount(master_, MASTER_TABLE), 1);
    EXPECT_EQ(Name(1), "A");
    DeleteTableRows(master_, MASTER_TABLE, 1, -1);
    EXPECT_EQ(TableRowCount(master_, MASTER_TABLE), 0);
    EXPECT_EQ(DeleteTableRows(master_, MASTER_TABLE, 1, -1), 0);  // nothing left to delete
    EXPECT_LT(SetTableCellVal(master_, MASTER_TABLE, MakePoint(1, 1), "x"), 0);
}

TEST_F(TableGraphTest, CellsShowTheirValues) {
    AppendNamedRows({"M1"});
    SetTableCellVal(master_, MASTER_TABLE, MakePoint(2, 1), 4.5);
    SetTableCellVal(master_, MASTER_TABLE, MakePoint(3, 1), -7);
    EXPECT_EQ(TableCellText(master_, MASTER_TABLE, MakePoint(2, 1)), "4.5");
    EXPECT_EQ(TableCellText(master_, MASTER_TABLE, MakePoint(3, 1)), "-7");
    EXPECT_LT(SetTableCellVal(master_, MASTER_TABLE, MakePoint(7, 1), 1), 0);
}

TEST_F(TableGraphTest, ActiveCellIsTheClickedOneAndNoneInAnEmptyTable) {
    Point cell{9, 9};
    GetActiveTableCell(master_, MASTER_TABLE, &cell);
    EXPECT_EQ(cell.x, 0);
    EXPECT_EQ(cell.y, 0);
    AppendNamedRows({"A", "B", "C"});
    ClickTableCell(master_, MASTER_TABLE, MakePoint(3, 2));
    GetActiveTableCell(master_, MASTER_TABLE, &cell);
    EXPECT_EQ(cell.x, 3);
    EXPECT_EQ(cell.y, 2);
    DeleteTableRows(master_, MASTER_TABLE, 1, -1);
    GetActiveTableCell(master_, MASTER_TABLE, &cell);
    EXPECT_EQ(cell.x, 0);
    EXPECT_EQ(cell.y, 0);
}

TEST_F(TableGraphTest, EditableAttributeLocksTheCells) {
    int editable = -1;
    SetCtrlAttribute(master_, MASTER_TABLE, ATTR_TABLE_EDITABLE, 0);
    GetCtrlAttribute(master_, MASTER_TABLE, ATTR_TABLE_EDITABLE, &editable);
    EXPECT_EQ(editable, 0);
}

TEST_F(TableGraphTest, PlotsCarryIdsSamplesAndColoursAndGoAwayOnDelete) {
    signed char samples[300];
    for (int i = 0; i < 300; ++i) {
        samples[i] = static_cast<signed char>(i - 128 > 127 ? 127 : i - 128);
    }
    const int line = PlotLine(main_, MAIN_GRAPH, 0, 0, 299, 0, 0xC0C0C0);
    const int blue =
        PlotY(main_, MAIN_GRAPH, samples, 300, VAL_CHAR, VAL_THIN_LINE, 0, VAL_SOLID, 1, VAL_BLUE);
    const int red =
        PlotY(main_, MAIN_GRAPH, samples, 300, VAL_CHAR, VAL_THIN_LINE, 0, VAL_SOLID, 1, VAL_RED);
    EXPECT_GT(line, 0);
    EXPECT_GT(blue, line);
    EXPECT_GT(red, blue);

    std::vector<PlotInfo> plots = GraphPlots(main_, MAIN_GRAPH);
    ASSERT_EQ(plots.size(), 3u);
    EXPECT_EQ(plots[1].colour, VAL_BLUE);
    EXPECT_EQ(plots[2].colour, VAL_RED);
    ASSERT_EQ(plots[1].y.size(), 300u);
    EXPECT_EQ(plots[1].y.front(), -128);
    EXPECT_EQ(plots[1].y.back(), 127);
    EXPECT_EQ(plots[1].x.back(), 299);

    EXPECT_EQ(DeleteGraphPlot(main_, MAIN_GRAPH, blue, VAL_IMMEDIATE_DRAW), 0);
    EXPECT_LT(DeleteGraphPlot(main_, MAIN_GRAPH, blue, VAL_IMMEDIATE_DRAW), 0);
    plots = GraphPlots(main_, MAIN_GRAPH);
    ASSERT_EQ(plots.size(), 2u);
    EXPECT_EQ(plots[0].id, line);
    EXPECT_EQ(plots[1].id, red);
    EXPECT_LT(PlotY(main_, MAIN_MODEL, samples, 300, VAL_CHAR, VAL_THIN_LINE, 0, VAL_SOLID, 1, 0),
              0);
}

// A wave graph's scales are the panel resource's: 300 samples of 8 bits.
TEST_F(TableGraphTest, WaveGraphTakesItsScalesFromThePanelResource) {
    GraphWidget* graph = toolkit_internal::FindGraph(main_, MAIN_GRAPH);
    ASSERT_NE(graph, nullptr);
    struct Scale {
        Qt::Orientation axis;
        double min, max, interval;
    };
    for (const Scale& s : {Scale{Qt::Horizontal, 0, 299, 50}, Scale{Qt::Vertical, -128, 127, 32}}) {
        auto* axis = qobject_cast<QValueAxis*>(graph->chart()->axes(s.axis).value(0));
        ASSERT_NE(axis, nullptr);
        EXPECT_EQ(axis->min(), s.min);
        EXPECT_EQ(axis->max(), s.max);
        EXPECT_EQ(axis->tickType(), QValueAxis::TicksDynamic);
        EXPECT_EQ(axis->tickInterval(), s.interval);
        EXPECT_EQ(axis->tickAnchor(), 0);
        EXPECT_EQ(axis->labelFormat(), QStringLiteral("%d"));
    }
}

}  // namespace
