// Every reading and label of the main panel and the history panel shows its widest text whole on
// the plant's screens: no text is wider than the room its label leaves inside border and padding.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "app/surge.h"
#include "history/history_uir.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

using Texts = std::vector<std::pair<int, const char*>>;

// The widest text each reading takes: a master's name of 12 characters, a day's or a year's
// counts, the full yield, the last page of a year of records, a refused read's reason.
const Texts MAIN_TEXTS = {
    {MAIN_MODEL, "WWWWWWWWWWWW"},
    {MAIN_VOLTAGE, "9.9"},
    {MAIN_WIDTH, "99"},
    {MAIN_PULSE, "20"},
    {MAIN_JUDGE, "99"},
    {MAIN_AREA, "99"},
    {MAIN_PHASE, "99"},
    {MAIN_TESTED, "99999"},
    {MAIN_OK_COUNT, "99999"},
    {MAIN_NG_COUNT, "99999"},
    {MAIN_YIELD, "100.0 %"},
    {MAIN_WAITING, "전송 대기 99999"},
    {MAIN_SERIAL_REFUSED, "일련번호가 64 자를 넘습니다. 다시 읽으십시요."},
};
const Texts HISTORY_TEXTS = {
    {HISTORY_TESTED, "1000000"},
    {HISTORY_OK, "1000000"},
    {HISTORY_NG, "1000000"},
    {HISTORY_YIELD, "100.0 %"},
    {HISTORY_PAGE, "100000 / 100000 쪽"},
};

// The labels of the panel whose text does not fit, with the widths.
std::vector<std::string> CutLabels(int panel, const Texts& texts) {
    for (const auto& [control, text] : texts) {
        SetCtrlVal(panel, control, text);
    }
    QApplication::processEvents();
    std::vector<std::string> cut;
    for (const QLabel* label : PanelWidget(panel)->findChildren<QLabel*>()) {
        const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
        if (needed > label->contentsRect().width()) {
            cut.push_back(label->objectName().toStdString() + " \"" + label->text().toStdString() +
                          "\": " + std::to_string(needed) + " > " +
                          std::to_string(label->contentsRect().width()));
        }
    }
    return cut;
}

TEST(PanelFitTest, EveryReadingAndLabelShowsItsWidestTextWholeOnThePlantsScreens) {
    ScopedWorkDir dir;
    Reset_program_state();
    Register_callbacks();
    const struct {
        int height;
        int width;
    } screens[] = {{768, 1024}, {1024, 1280}};
    for (const auto& screen : screens) {
        SCOPED_TRACE(std::to_string(screen.width) + " x " + std::to_string(screen.height));
        SetMonitorGeometry(screen.height, screen.width);
        mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
        const int history = LoadPanel(0, SURGE_UIR, HISTORY);
        ASSERT_GT(mainHandle, 0);
        ASSERT_GT(history, 0);
        Display_init();
        DisplayPanel(mainHandle);
        EXPECT_EQ(CutLabels(mainHandle, MAIN_TEXTS), std::vector<std::string>{});
        HidePanel(mainHandle);
        DisplayPanel(history);
        EXPECT_EQ(CutLabels(history, HISTORY_TEXTS), std::vector<std::string>{});
        DiscardPanel(history);
        DiscardPanel(mainHandle);
    }
    SetMonitorGeometry(0, 0);
}

}  // namespace
