// Start-up and shutdown: the panels, their layout, the restored path and delay time, the zero
// lines, and the quit command.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <csignal>

#include "app/surge.h"
#include "history/history_uir.h"
#include "history/recorder.h"
#include "inspection/inspection.h"
#include "instrument/serial.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/file_rows.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/sim_process.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_program_state();
        Register_callbacks();
        ClearShownPopups();
        setenv("SURGE_COM1", dir_.File("no-such-port").c_str(), 1);
    }
    void TearDown() override {
        for (int* handle : {&mainHandle, &setupHandle, &masterHandle}) {
            if (*handle > 0) {
                DiscardPanel(*handle);
            }
        }
        SetMonitorGeometry(0, 0);
        unsetenv("SURGE_COM1");
    }
    void LoadPanels() {
        mainHandle = LoadPanel(0, "surge.uir", MAIN);
        setupHandle = LoadPanel(0, "surge.uir", SETUP);
        masterHandle = LoadPanel(0, "surge.uir", MASTER);
        ASSERT_GT(mainHandle, 0);
        ASSERT_GT(setupHandle, 0);
        ASSERT_GT(masterHandle, 0);
    }
    std::string PathField() {
        char text[300];
        GetCtrlVal(setupHandle, SETUP_EXCEL_PATH, text);
        return text;
    }

    ScopedWorkDir dir_;
};

TEST_F(StartupTest, MainPanelFillsTheScreenBelowA25PixelBand) {
    LoadPanels();
    SetMonitorGeometry(768, 1024);
    Display_init();
    EXPECT_EQ(TopOf(mainHandle), 25);
    EXPECT_EQ(LeftOf(mainHandle), 0);
    EXPECT_EQ(HeightOf(mainHandle), 743);
    EXPECT_EQ(WidthOf(mainHandle), 1024);
}

// The labels of `panel` that do not show their whole text, within border and padding, once the
// panel holds `texts`.
std::vector<std::string> CutLabels(int panel,
                                   const std::vector<std::pair<int, const char*>>& texts) {
    for (const auto& [control, text] : texts) {
        SetCtrlVal(panel, control, text);
    }
    QApplication::processEvents();
    std::vector<std::string> cut;
    for (const QLabel* label : PanelWidget(panel)->findChildren<QLabel*>()) {
        // A label that wraps shows its text whole over as many lines as its height holds.
        if (label->wordWrap() ? label->heightForWidth(label->width()) > label->height()
                              : QFontMetrics(label->font()).horizontalAdvance(label->text()) >
                                    label->contentsRect().width()) {
            cut.push_back(label->objectName().toStdString() + " " + label->text().toStdString());
        }
    }
    return cut;
}

// On both of the plant's screens every reading and label of the main and history panels shows its
// widest text whole: a master's name of 12 characters, a day's or a year's counts, the whole
// yield and first-pass yield, a refused read, a unit's retests, a line stop, the last page of a
// year.
TEST_F(StartupTest, EveryReadingAndLabelShowsItsWidestTextWholeOnThePlantsScreens) {
    for (const auto& [height, width] : {std::pair{768, 1024}, {1024, 1280}}) {
        SCOPED_TRACE(width);
        LoadPanels();
        const int history = LoadPanel(0, "surge.uir", HISTORY);
        SetMonitorGeometry(height, width);
        Display_init();
        DisplayPanel(mainHandle);
        EXPECT_EQ(
            CutLabels(mainHandle,
                      {{MAIN_MODEL, "WWWWWWWWWWWW"},
                       {MAIN_TESTED, "99999"},
                       {MAIN_OK_COUNT, "99999"},
                       {MAIN_NG_COUNT, "99999"},
                       {MAIN_YIELD, "100.0 %"},
                       {MAIN_WAITING, "전송 대기 99999"},
                       {MAIN_SERIAL_REFUSED, "일련번호가 64 자를 넘습니다. 다시 읽으십시요."},
                       {MAIN_FIRST_PASS, "100.0 %"},
                       {MAIN_RETEST, "재검사 99회"},
                       {MAIN_GATE, "라인 정지: 최근 10 개 중 N.G 3 개 (WWWWWWWWWWWW)"},
                       {MAIN_GATE_NOTE, "기준품 확인 23:59"},
                       {MAIN_DRIFT,
                        "추세 경고: 면적 규칙 1, 위상 규칙 1, 주파수 EWMA, 감쇠 EWMA (23:59)"},
                       {MAIN_WAVE, "파형 주파수 +1.2 %, 감쇠 +10 %, 면적 12 %, 고주파, 포락선"}}),
            std::vector<std::string>{});
        DisplayPanel(history);
        EXPECT_EQ(CutLabels(history, {{HISTORY_TESTED, "1000000"},
                                      {HISTORY_OK, "1000000"},
                                      {HISTORY_NG, "1000000"},
                                      {HISTORY_YIELD, "100.0 %"},
                                      {HISTORY_PAGE, "100000 / 100000 쪽"},
                                      {HISTORY_FIRST_PASS, "100.0 %"},
                                      {HISTORY_FINAL_YIELD, "100.0 %"},
                                      {HISTORY_RETEST_PASSED, "1000000"}}),
                  std::vector<std::string>{});
        for (int* handle : {&mainHandle, &setupHandle, &masterHandle}) {
            DiscardPanel(std::exchange(*handle, 0));
        }
        DiscardPanel(history);
    }
}

TEST_F(StartupTest, BothGraphsGetTheirGridInLightGrey) {
    LoadPanels();
    Display_init();
    for (auto [panel, graph] : {std::pair{mainHandle, MAIN_GRAPH}, {setupHandle, SETUP_GRAPH}}) {
        int shown = -1;
        int colour = -1;
        GetCtrlAttribute(panel, graph, ATTR_GRID_VISIBLE, &shown);
        GetCtrlAttribute(panel, graph, ATTR_GRID_COLOR, &colour);
        EXPECT_EQ(shown, 1);
        EXPECT_EQ(colour, 0xE0E0E0);
    }
}

TEST_F(StartupTest, WithoutPathFileTheFieldIsEmptyAndTheCommandLineIsTheWorkbookAlone) {
    LoadPanels();
    Display_init();
    EXPECT_EQ(PathField(), "");
    EXPECT_STREQ(excel_path, " chart.xls");
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(StartupTest, PathFileIsShownBareAndFollowedByTheWorkbook) {
    WriteWholeFile("excel_path.txt", "/opt/office program/scalc");
    LoadPanels();
    Display_init();
    EXPECT_EQ(PathField(), "/opt/office program/scalc");
    EXPECT_STREQ(excel_path, "/opt/office program/scalc chart.xls");
}

TEST_F(StartupTest, LongestPathThatFitsIsKeptWhole) {
    const std::string path = "/" + std::string(248, 'p');  // 249 characters
    WriteWholeFile("excel_path.txt", path);
    LoadPanels();
    Display_init();
    EXPECT_EQ(PathField(), path);
    EXPECT_EQ(std::string(excel_path), path + " chart.xls");
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(StartupTest, OverlongPathFileIsRefusedWithAWarningAndLeftOnDisk) {
    for (std::size_t length : {250u, 260u, 4000u}) {
        const std::string path = "/" + std::string(length - 1, 'p');
        WriteWholeFile("excel_path.txt", path);
        Reset_program_state();
        ClearShownPopups();
        LoadPanels();
        Display_init();
        EXPECT_EQ(PathField(), "") << length;
        EXPECT_STREQ(excel_path, " chart.xls") << length;
        ASSERT_EQ(ShownPopups().size(), 1u) << length;
        EXPECT_EQ(ShownPopups()[0].title, "경  고");
        EXPECT_EQ(ReadWholeFile("excel_path.txt"), path);
        DiscardPanel(mainHandle);
        DiscardPanel(setupHandle);
        DiscardPanel(masterHandle);
        mainHandle = setupHandle = masterHandle = 0;
    }
}

TEST_F(StartupTest, DelayTimeStartsAsTheFieldsInitialValue) {
    LoadPanels();
    float field = -1;
    GetCtrlVal(setupHandle, SETUP_DELAY_TIME, &field);
    delay_time = -1;
    Display_init();
    EXPECT_GT(field, 0.0f);
    EXPECT_FLOAT_EQ(delay_time, field);
}

// What the station showed once its event loop ran, and how the loop ended.
struct Observed {
    bool main_shown = false;
    bool setup_shown = false;
    std::vector<PlotInfo> main_plots;
    std::vector<PlotInfo> setup_plots;
    int panels_after_other_event = 0;
};
Observed observed;

void LookThenQuit(void*) {
    observed.main_shown = PanelIsVisible(mainHandle);
    observed.setup_shown = PanelIsVisible(setupHandle);
    observed.main_plots = GraphPlots(mainHandle, MAIN_GRAPH);
    observed.setup_plots = GraphPlots(setupHandle, SETUP_GRAPH);
    // Only the commit event quits.
    Quit(mainHandle, MAIN_CMD_28, EVENT_LEFT_CLICK, nullptr, 0, 0);
    observed.panels_after_other_event = (PanelWidget(mainHandle) != nullptr) +
                                        (PanelWidget(setupHandle) != nullptr) +
                                        (PanelWidget(masterHandle) != nullptr);
    Quit(mainHandle, MAIN_CMD_28, EVENT_COMMIT, nullptr, 0, 0);
}

TEST_F(StartupTest, StationRunsUntilQuitAndExitsWithZeroAfterAFailedClose) {
    observed = Observed{};
    PostDeferredCall(LookThenQuit, nullptr);
    char name[] = "surge";
    char* argv[] = {name, nullptr};
    const int exit_code = surge_main(1, argv);

    EXPECT_EQ(exit_code, 0);
    EXPECT_TRUE(observed.main_shown);
    EXPECT_FALSE(observed.setup_shown);
    EXPECT_EQ(observed.panels_after_other_event, 3);
    for (const auto* plots : {&observed.main_plots, &observed.setup_plots}) {
        ASSERT_EQ(plots->size(), 1u);
        const PlotInfo& zero = plots->front();
        EXPECT_EQ(zero.colour, 0xC0C0C0);
        EXPECT_EQ(zero.x, (std::vector<double>{0.0, 299.0}));
        EXPECT_EQ(zero.y, (std::vector<double>{0.0, 0.0}));
    }
    // The port never opened: one popup at start-up, one when quit could not close it.
    ASSERT_EQ(ShownPopups().size(), 2u);
    EXPECT_EQ(ShownPopups()[0].title, "RS232 Message");
    EXPECT_EQ(ShownPopups()[1].text, "No port is open.\nCheck COM Port setting in Configure.");
    EXPECT_EQ(RS232Error, -3);
    EXPECT_EQ(PanelWidget(mainHandle), nullptr);
    EXPECT_EQ(PanelWidget(setupHandle), nullptr);
    EXPECT_EQ(PanelWidget(masterHandle), nullptr);
    mainHandle = setupHandle = masterHandle = 0;
}

// A quit while a record waits that the file cannot take (another program holds it): the operator
// is asked, and "아니오" keeps the station running; once the file is free the next quit writes the
// record first and asks nothing. Answered "예", the record goes and the log says so.
struct QuitCase {
    std::vector<int> answers;  // to each quit's question; -1 where none is expected
    bool free_the_file;        // after the first quit
    const char* records;       // in the file at the end
    bool lost_logged;
};
QuitCase quit_case;
int quit_questions = 0;
std::optional<QSqlDatabase> locker;

void RecordHeldThenQuit(void*) {
    locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
    locker->setDatabaseName("inspection_history.db");
    locker->open();
    QSqlQuery(*locker).exec("BEGIN EXCLUSIVE");
    history::Record(SampleInspection(1, std::chrono::system_clock::now(),
                                     SampleSetup("03", 4.5, 5, 10, 20), 3, 3, Outcome::OK));
    for (std::size_t i = 0; i < quit_case.answers.size(); ++i) {
        if (i == 1 && quit_case.free_the_file) {
            QSqlQuery(*locker).exec("ROLLBACK");
        }
        if (quit_case.answers[i] >= 0) {
            QueueConfirmAnswer(quit_case.answers[i]);
        }
        Quit(mainHandle, MAIN_CMD_28, EVENT_COMMIT, nullptr, 0, 0);
    }
    for (const auto& popup : ShownPopups()) {
        quit_questions += popup.kind == PopupKind::CONFIRM;
    }
}

TEST_F(StartupTest, AQuitWhileRecordsWaitAsksBeforeTheyGo) {
    const QuitCase cases[] = {
        {{0, -1}, true, "1", false},
        {{0, 1}, false, "0", true},
    };
    for (const QuitCase& c : cases) {
        ScopedWorkDir dir;
        Reset_program_state();
        ClearShownPopups();
        quit_case = c;
        quit_questions = 0;
        PostDeferredCall(RecordHeldThenQuit, nullptr);
        char name[] = "surge";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(surge_main(1, argv), 0);
        locker->close();
        locker.reset();
        QSqlDatabase::removeDatabase("locker");
        mainHandle = setupHandle = masterHandle = 0;
        EXPECT_EQ(quit_questions, 1 + (c.answers[1] >= 0));
        {
            QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "check");
            file.setDatabaseName("inspection_history.db");
            file.open();
            QSqlQuery count(file);
            count.exec("SELECT COUNT(*) FROM inspection");
            EXPECT_EQ(count.next() ? count.value(0).toString().toStdString() : "", c.records);
        }
        QSqlDatabase::removeDatabase("check");
        EXPECT_EQ(ReadWholeFile("station.log").find("1 records could not be written") !=
                      std::string::npos,
                  c.lost_logged);
    }
}

// A signal of the session's end while a cycle runs and between two: the cycle completes and is
// recorded, the station ends with 0, and the trail's rows are on the file.
bool signal_during_cycle = false;

void CycleAndSignal(void*) {
    std::strcpy(master_name, "M-01");
    Show_model(master_name);
    SetCtrlAttribute(mainHandle, MAIN_CMD_30, ATTR_DIMMED, 0);
    if (signal_during_cycle) {
        QTimer::singleShot(20, [] { raise(SIGTERM); });
    }
    // As the start command gives it (a test's Commit would wait for this call to return).
    SetCtrlVal(mainHandle, MAIN_SERIAL, "SN-1");
    Main_start(mainHandle, MAIN_CMD_30, EVENT_COMMIT, nullptr, 0, 0);
    if (!signal_during_cycle) {
        raise(SIGTERM);
    }
}

TEST_F(StartupTest, ASignalDuringACycleOrBetweenTwoEndsTheStationWithTheCycleRecorded) {
    for (const bool during : {true, false}) {
        SCOPED_TRACE(during ? "during a cycle" : "between cycles");
        ScopedWorkDir dir;
        WriteWholeFile("station.ini", "[retest]\nenabled=true\n");
        SimProcess sim({"--noise", "0"});
        Reset_program_state();
        ClearShownPopups();
        signal_during_cycle = during;
        PostDeferredCall(CycleAndSignal, nullptr);
        char name[] = "surge";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(surge_main(1, argv), 0);
        mainHandle = setupHandle = masterHandle = 0;
        EXPECT_EQ(QueryFile("SELECT serial, outcome FROM inspection", "inspection_history.db"),
                  (FileRows{{"SN-1", "O.K"}}));
        EXPECT_EQ(QueryFile("SELECT action, object FROM audit", "inspection_history.db"),
                  (FileRows{{"settings changed", "retest/enabled"}}));
        const std::string log = ReadWholeFile("station.log");
        EXPECT_NE(log.find("signal 15: the station ends"), std::string::npos) << log;
        EXPECT_EQ(log.rfind("station stopped\n") + 16, log.size()) << log;
    }
}

}  // namespace
