// The event path: commits, pending edits, deferred calls, input while a callback runs, popups.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <vector>

#include "app/surge.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

std::vector<std::string> trace;
int setup_panel = 0;

int RecordModel(int panel, int, int event, void*, int, int) {
    char name[40];
    GetCtrlVal(panel, SETUP_MODEL_NAME, name);
    trace.push_back("Model " + std::to_string(event) + " " + name);
    return 0;
}
void Deferred(void* data) {
    trace.push_back(std::string("deferred ") + static_cast<char*>(data));
}
int RecordSave(int, int, int event, void*, int, int) {
    static char tag[] = "after save";
    PostDeferredCall(Deferred, tag);
    trace.push_back("Save " + std::to_string(event));
    // A command that reaches the toolkit while this one runs (from a timer or the callback itself;
    // the operator's input waits in Qt's queue) is not taken.
    Commit(setup_panel, SETUP_LIST);
    return 0;
}
int RecordList(int, int, int event, void*, int, int) {
    trace.push_back("List " + std::to_string(event));
    return 0;
}
int RecordQuit(int, int, int event, void*, int, int) {
    trace.push_back("Quit " + std::to_string(event));
    return 0;
}

class EventTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Register_callbacks();
        RegisterCallback("Model", RecordModel);
        RegisterCallback("Master_save", RecordSave);
        RegisterCallback("Master_list", RecordList);
        RegisterCallback("Master_quit", RecordQuit);
        setup_panel = LoadPanel(0, "surge.uir", SETUP);
        ASSERT_GT(setup_panel, 0);
        trace.clear();
    }
    void TearDown() override {
        DiscardPanel(setup_panel);
        Register_callbacks();
    }
    ScopedWorkDir dir_;
};

TEST_F(EventTest, ATypedFieldIsCommittedBeforeTheCommandAndDeferredCallsRunAfterIt) {
    TypeText(setup_panel, SETUP_MODEL_NAME, "TYPED");
    Commit(setup_panel, SETUP_SAVE);
    EXPECT_EQ(trace, (std::vector<std::string>{"Model 1 TYPED", "Save 1", "deferred after save"}));

    trace.clear();
    Commit(setup_panel, SETUP_SAVE);  // nothing typed since: no second commit of the field
    EXPECT_EQ(trace, (std::vector<std::string>{"Save 1", "deferred after save"}));
}

TEST_F(EventTest, ValuesSetByTheStationAreNotTakenForOperatorEdits) {
    SetCtrlVal(setup_panel, SETUP_MODEL_NAME, "SET BY CODE");
    SetCtrlVal(setup_panel, SETUP_CORONA, 5);
    Commit(setup_panel, SETUP_LIST);
    EXPECT_EQ(trace, (std::vector<std::string>{"List 1"}));
}

// The main panel's close box stands for the quit command, which the testing state dims.
TEST_F(EventTest, TheWindowCloseBoxGivesThePanelsCloseCommandOnlyWhileItTakesInput) {
    RegisterCallback("Quit", RecordQuit);
    const int main_panel = LoadPanel(0, "surge.uir", MAIN);
    for (int dimmed : {1, 0}) {
        trace.clear();
        SetCtrlAttribute(main_panel, MAIN_CMD_28, ATTR_DIMMED, dimmed);
        PanelWidget(main_panel)->close();
        EXPECT_TRUE(trace.empty());
        QCoreApplication::processEvents();
        EXPECT_EQ(trace, dimmed ? std::vector<std::string>{} : std::vector<std::string>{"Quit 1"});
    }
    DiscardPanel(main_panel);
}

TEST_F(EventTest, DelayHoldsAtLeastItsTimeAndIsRecorded) {
    ClearRequestedDelays();
    QElapsedTimer clock;
    clock.start();
    Delay(0.05);
    Delay(0);
    EXPECT_GE(clock.elapsed(), 50);
    EXPECT_EQ(RequestedDelays(), (std::vector<double>{0.05, 0.0}));
}

// Counts the paints of one widget.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(EventTest, ThePanelRepaintsWhileACallbackHoldsTheThread) {
    DisplayPanel(setup_panel);
    QCoreApplication::processEvents();
    PaintCounter counter;
    QWidget* field = ControlWidget(setup_panel, SETUP_MODEL_NAME);
    field->installEventFilter(&counter);
    SetCtrlVal(setup_panel, SETUP_MODEL_NAME, "changed while busy");
    const int before = counter.paints;
    Delay(0.05);  // as a callback does, without returning to the event loop
    EXPECT_GT(counter.paints, before);
    field->removeEventFilter(&counter);
}

TEST(PopupTest, ConfirmationsTakeQueuedAnswersInOrderAndNoWhenNoneIsLeft) {
    ClearShownPopups();
    QueueConfirmAnswer(1);
    QueueConfirmAnswer(0);
    EXPECT_EQ(ConfirmPopup("확  인", "first"), 1);
    EXPECT_EQ(ConfirmPopup("확  인", "second"), 0);
    EXPECT_EQ(ConfirmPopup("확  인", "third"), 0);
    EXPECT_EQ(MessagePopup("경  고", "told"), 0);
    ASSERT_EQ(ShownPopups().size(), 4u);
    EXPECT_EQ(ShownPopups()[3].kind, PopupKind::MESSAGE);
    EXPECT_EQ(ShownPopups()[3].text, "told");
}

TEST(PopupTest, FileSelectionCancelsKeepsTheBufferAndRefusesWhatDoesNotFit) {
    ClearShownPopups();
    char path[16] = "unchanged";
    QueueFileAnswer("");
    EXPECT_EQ(
        FileSelectPopup("/usr/bin", "*.exe", "*.exe", "excel", VAL_SELECT_BUTTON, 0, 1, 1, 0, path),
        VAL_NO_FILE_SELECTED);
    EXPECT_STREQ(path, "unchanged");
    QueueFileAnswer("/usr/bin/calc");
    EXPECT_EQ(
        FileSelectPopup("/usr/bin", "*.exe", "*.exe", "excel", VAL_SELECT_BUTTON, 0, 1, 1, 0, path),
        VAL_EXISTING_FILE_SELECTED);
    EXPECT_STREQ(path, "/usr/bin/calc");
    QueueFileAnswer("/usr/bin/a-name-too-long");
    EXPECT_EQ(
        FileSelectPopup("/usr/bin", "*.exe", "*.exe", "excel", VAL_SELECT_BUTTON, 0, 1, 1, 0, path),
        VAL_NO_FILE_SELECTED);
    EXPECT_STREQ(path, "/usr/bin/calc");
    ASSERT_EQ(ShownPopups().size(), 4u);
    EXPECT_EQ(ShownPopups()[0].title, "excel");
    EXPECT_EQ(ShownPopups()[3].kind, PopupKind::MESSAGE);
}

}  // namespace
