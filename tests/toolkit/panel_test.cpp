// Panels from a panel resource: load statuses, values of each control kind, attributes.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWidget>

#include "app/surge.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

int Ignore(int, int, int, void*, int, int) {
    return 0;
}

const char* SMALL_RESOURCE = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>T</class>
<widget class="QWidget" name="T"><layout class="QVBoxLayout" name="l">
 <item><widget class="QWidget" name="P"><property name="panelId" stdset="0"><number>7</number></property>
  <layout class="QVBoxLayout" name="pl"><item><widget class="QPushButton" name="B">
   <property name="ctrlId" stdset="0"><number>1</number></property>
   <property name="callback" stdset="0"><string>%1</string></property>
  </widget></item></layout></widget></item>
</layout></widget></ui>)";

TEST(PanelTest, LoadStatusesTellWhatWentWrong) {
    ScopedWorkDir dir;
    RegisterCallback("Known_callback", Ignore);
    std::string resource = SMALL_RESOURCE;
    const std::string known = resource.replace(resource.find("%1"), 2, "Known_callback");
    resource = SMALL_RESOURCE;
    const std::string unknown = resource.replace(resource.find("%1"), 2, "Nobody_has_this");

    EXPECT_EQ(LoadPanel(0, "missing.uir", 7), -1);
    WriteWholeFile("broken.uir", "<ui version=\"4.0\"><widget");
    EXPECT_EQ(LoadPanel(0, "broken.uir", 7), -1);
    WriteWholeFile("known.uir", known);
    EXPECT_EQ(LoadPanel(0, "known.uir", 8), -2);
    WriteWholeFile("unknown.uir", unknown);
    EXPECT_EQ(LoadPanel(0, "unknown.uir", 7), -3);
    const int handle = LoadPanel(0, "known.uir", 7);
    EXPECT_GT(handle, 0);
    const int second = LoadPanel(0, "known.uir", 7);
    EXPECT_GT(second, handle);
    DiscardPanel(handle);
    DiscardPanel(second);
    EXPECT_LT(DisplayPanel(handle), 0);
}

class SetupPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Register_callbacks();
        panel_ = LoadPanel(0, "surge.uir", SETUP);
        ASSERT_GT(panel_, 0);
    }
    void TearDown() override { DiscardPanel(panel_); }
    ScopedWorkDir dir_;
    int panel_ = 0;
};

TEST_F(SetupPanelTest, ValuesGoInAndComeOutInTheControlsOwnType) {
    EXPECT_EQ(SetCtrlVal(panel_, SETUP_VOLTAGE, 4.5), 0);
    float as_float = 0;
    double as_double = 0;
    GetCtrlVal(panel_, SETUP_VOLTAGE, &as_float);
    GetCtrlVal(panel_, SETUP_VOLTAGE, &as_double);
    EXPECT_FLOAT_EQ(as_float, 4.5f);
    EXPECT_DOUBLE_EQ(as_double, 4.5);

    EXPECT_EQ(SetCtrlVal(panel_, SETUP_WIDTH, 7), 0);
    int as_int = 0;
    GetCtrlVal(panel_, SETUP_WIDTH, &as_int);
    EXPECT_EQ(as_int, 7);

    EXPECT_EQ(SetCtrlVal(panel_, SETUP_MODEL_NAME, "모터-A1"), 0);
    char name[40];
    GetCtrlVal(panel_, SETUP_MODEL_NAME, name);
    EXPECT_STREQ(name, "모터-A1");

    EXPECT_LT(SetCtrlVal(panel_, 999, 1), 0);
    EXPECT_LT(SetCtrlVal(panel_, SETUP_WIDTH, "text into a number"), 0);
}

TEST(ReadingTest, AReadingsValueReachesScreenReadersBesideItsCaption) {
    ScopedWorkDir dir;
    Register_callbacks();
    const int panel = LoadPanel(0, "surge.uir", MAIN);
    ASSERT_GT(panel, 0);
    SetCtrlVal(panel, MAIN_VOLTAGE, "4.5");
    const QWidget* reading = ControlWidget(panel, MAIN_VOLTAGE);
    EXPECT_EQ(reading->accessibleName().toStdString(), "전압 (kV)");
    EXPECT_EQ(reading->accessibleDescription().toStdString(), "4.5");
    DiscardPanel(panel);
}

TEST_F(SetupPanelTest, TextIsCutToTheBufferOnACharacterBoundary) {
    SetCtrlVal(panel_, SETUP_EXCEL_PATH, "가나다라");  // 12 bytes in UTF-8
    char small[8];
    GetCtrlVal(panel_, SETUP_EXCEL_PATH, small);
    EXPECT_STREQ(small, "가나");
    char tiny[1];
    GetCtrlVal(panel_, SETUP_EXCEL_PATH, tiny);
    EXPECT_STREQ(tiny, "");
}

TEST_F(SetupPanelTest, DimmedAndVisibleAttributesReadBack) {
    for (int value : {1, 0}) {
        int dimmed = -1;
        int visible = -1;
        SetCtrlAttribute(panel_, SETUP_SAVE, ATTR_DIMMED, value);
        SetCtrlAttribute(panel_, SETUP_GRAPH, ATTR_VISIBLE, value);
        GetCtrlAttribute(panel_, SETUP_SAVE, ATTR_DIMMED, &dimmed);
        GetCtrlAttribute(panel_, SETUP_GRAPH, ATTR_VISIBLE, &visible);
        EXPECT_EQ(dimmed, value);
        EXPECT_EQ(visible, value);
    }
    EXPECT_LT(SetCtrlAttribute(panel_, SETUP_SAVE, ATTR_GRID_VISIBLE, 1), 0);
    EXPECT_LT(SetCtrlAttribute(panel_, SETUP_SAVE, 4242, 1), 0);
}

TEST_F(SetupPanelTest, PanelPlacementAndTheInjectedMonitor) {
    SetPanelPos(panel_, 40, 12);
    SetPanelSize(panel_, 700, 1100);
    EXPECT_EQ(TopOf(panel_), 40);
    EXPECT_EQ(LeftOf(panel_), 12);
    EXPECT_EQ(HeightOf(panel_), 700);
    EXPECT_EQ(WidthOf(panel_), 1100);

    SetMonitorGeometry(1080, 1920);
    int monitor = 0;
    int height = 0;
    int width = 0;
    GetSystemAttribute(ATTR_PRIMARY_MONITOR, &monitor);
    GetMonitorAttribute(monitor, ATTR_HEIGHT, &height);
    GetMonitorAttribute(monitor, ATTR_WIDTH, &width);
    EXPECT_EQ(height, 1080);
    EXPECT_EQ(width, 1920);
    SetMonitorGeometry(0, 0);
}

}  // namespace

// The hour glass covers every panel until the default cursor comes back; asked twice it is still
// one hour glass, which one default removes.
TEST(CursorTest, TheHourGlassStaysUntilTheDefaultCursorComesBack) {
    const struct {
        int cursor;
        int result;
        bool hour_glass;
    } steps[] = {
        {VAL_HOUR_GLASS_CURSOR, 0, true}, {VAL_HOUR_GLASS_CURSOR, 0, true}, {99, -1, true},
        {VAL_DEFAULT_CURSOR, 0, false},   {VAL_DEFAULT_CURSOR, 0, false},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(SetMouseCursor(step.cursor), step.result) << step.cursor;
        const QCursor* shown = QGuiApplication::overrideCursor();
        EXPECT_EQ(shown != nullptr && shown->shape() == Qt::WaitCursor, step.hour_glass)
            << step.cursor;
    }
}
