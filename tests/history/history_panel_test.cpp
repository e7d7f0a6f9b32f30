// The history panel driven as the operator does: opened from the main panel and left back to
// it, filters, pages, a chosen record's waves, the exports and the warnings.
#include <QDate>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "app/surge.h"
#include "history/history_panel.h"
#include "history/recorder.h"
#include "inspection/inspection.h"
#include "records/database_file.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/history/reader_fixture.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

constexpr int ZERO_LINE = 0xC0C0C0;

class HistoryPanelTest : public ReaderTest {
  protected:
    void SetUp() override {
        Reset_program_state();
        Register_callbacks();
        mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
        ASSERT_GT(mainHandle, 0);
        DisplayPanel(mainHandle);
        SetSystemDate(2026, 12, 9);
        ClearShownPopups();
    }
    void TearDown() override {
        ResetHistoryPanel();
        DiscardPanel(mainHandle);
        SetSystemDate(0, 0, 0);
        unsetenv("SURGE_HISTORY");
        ReaderTest::TearDown();
    }

    static std::string Text(int control) {
        char text[128] = "";
        GetCtrlVal(historyHandle, control, text);
        return text;
    }
    static int Dimmed(int panel, int control) {
        int dimmed = -1;
        GetCtrlAttribute(panel, control, ATTR_DIMMED, &dimmed);
        return dimmed;
    }
    static std::string Cell(int row, int column) {
        return TableCellText(historyHandle, HISTORY_TABLE, MakePoint(column, row));
    }
    static void ChooseRow(int row) {
        ClickTableCell(historyHandle, HISTORY_TABLE, MakePoint(1, row));
        RunDeferredCalls();
    }
    static std::vector<PlotInfo> Plots(int graph) {
        std::vector<PlotInfo> plots;
        for (const PlotInfo& p : GraphPlots(historyHandle, graph)) {
            if (p.colour != ZERO_LINE) {
                plots.push_back(p);
            }
        }
        return plots;
    }
};

// 25 records over the week before 2026-12-09, the last one incomplete.
std::vector<TestRecord> Week() {
    std::vector<TestRecord> records;
    for (int i = 0; i < 25; ++i) {
        char when[32];
        std::snprintf(when, sizeof when, "2026-12-%02dT%02d:00:00", 3 + i / 5, 8 + i % 5);
        records.push_back({when, "SN" + std::to_string(i + 1), i % 2 ? "모터" : "FAN",
                           i == 24 ? "incomplete" : (i % 5 == 0 ? "N.G" : "O.K"), i, 2 * i});
    }
    return records;
}

}  // namespace

TEST_F(HistoryPanelTest, OpensOnTheLastWeekNewestFirstAndGoesBackToTheMainPanel) {
    Fill(Week());
    Commit(mainHandle, MAIN_HISTORY);
    ASSERT_GT(historyHandle, 0);
    EXPECT_TRUE(PanelIsVisible(historyHandle));
    EXPECT_FALSE(PanelIsVisible(mainHandle));
    EXPECT_EQ(Text(HISTORY_FROM), "2026-12-03");
    EXPECT_EQ(Text(HISTORY_TO), "2026-12-09");
    const std::pair<int, std::string> shown[] = {
        {HISTORY_TESTED, "24"},    {HISTORY_OK, "19"},         {HISTORY_NG, "5"},
        {HISTORY_YIELD, "79.2 %"}, {HISTORY_PAGE, "1 / 3 쪽"},
    };
    for (const auto& [control, text] : shown) {
        EXPECT_EQ(Text(control), text) << control;
    }
    ASSERT_EQ(TableRowCount(historyHandle, HISTORY_TABLE), HISTORY_PAGE_ROWS);
    const std::vector<std::string> newest = {"2026-12-07 12:00", "SN25", "FAN", "미완료", "", ""};
    const std::vector<std::string> second = {"2026-12-07 11:00", "SN24", "모터", "O.K", "23", "46"};
    for (int column = 1; column <= 6; ++column) {
        EXPECT_EQ(Cell(1, column), newest[column - 1]);
        EXPECT_EQ(Cell(2, column), second[column - 1]);
    }
    const std::vector<PlotInfo> trend = Plots(HISTORY_TREND);
    ASSERT_EQ(trend.size(), 2U);
    EXPECT_EQ(trend[0].y.size(), 24U);  // every record with readings, the trend's two lines
    EXPECT_EQ(trend[1].y.back(), 46);

    Commit(historyHandle, HISTORY_QUIT);
    EXPECT_FALSE(PanelIsVisible(historyHandle));
    EXPECT_TRUE(PanelIsVisible(mainHandle));

    // Opened again days later: the week that ends on the new day.
    SetSystemDate(2027, 1, 2);
    Commit(mainHandle, MAIN_HISTORY);
    EXPECT_EQ(Text(HISTORY_FROM), "2026-12-27");
    EXPECT_EQ(Text(HISTORY_TESTED), "0");
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(HistoryPanelTest, FiltersAndPagesShowTheirRecords) {
    Fill(Week());
    Commit(mainHandle, MAIN_HISTORY);
    struct Case {
        const char* from;
        const char* master;
        const char* serial;
        int outcome;
        const char* tested;
        const char* yield;
        int rows;
    } cases[] = {
        {"2026-12-07", "", "", 0, "4", "75.0 %", 5},
        {"2026-12-03", " FAN ", "SN11", 0, "1", "0.0 %", 1},
        {"2026-12-03", "모터", "", 2, "2", "0.0 %", 2},
        {"2026-12-08", "", "", 0, "0", "-", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " " + c.master + " " + c.serial);
        SetCtrlVal(historyHandle, HISTORY_FROM, c.from);
        SetCtrlVal(historyHandle, HISTORY_MASTER, c.master);
        SetCtrlVal(historyHandle, HISTORY_SERIAL, c.serial);
        SetCtrlVal(historyHandle, HISTORY_OUTCOME, c.outcome);
        Commit(historyHandle, HISTORY_SEARCH);
        EXPECT_EQ(Text(HISTORY_TESTED), c.tested);
        EXPECT_EQ(Text(HISTORY_YIELD), c.yield);
        EXPECT_EQ(TableRowCount(historyHandle, HISTORY_TABLE), c.rows);
    }

    // Paging over the whole week: 10, 10, 5 rows, and back.
    SetCtrlVal(historyHandle, HISTORY_FROM, "2026-12-03");
    SetCtrlVal(historyHandle, HISTORY_MASTER, "");
    SetCtrlVal(historyHandle, HISTORY_SERIAL, "");
    SetCtrlVal(historyHandle, HISTORY_OUTCOME, 0);
    Commit(historyHandle, HISTORY_SEARCH);
    EXPECT_EQ(Dimmed(historyHandle, HISTORY_NEWER), 1);
    Commit(historyHandle, HISTORY_OLDER);
    Commit(historyHandle, HISTORY_OLDER);
    EXPECT_EQ(Text(HISTORY_PAGE), "3 / 3 쪽");
    EXPECT_EQ(TableRowCount(historyHandle, HISTORY_TABLE), 5);
    EXPECT_EQ(Cell(5, 2), "SN1");
    EXPECT_EQ(Dimmed(historyHandle, HISTORY_OLDER), 1);
    Commit(historyHandle, HISTORY_NEWER);
    EXPECT_EQ(Cell(1, 2), "SN15");
    EXPECT_EQ(Text(HISTORY_PAGE), "2 / 3 쪽");

    // Reversed days are refused and the last filter stays shown.
    SetCtrlVal(historyHandle, HISTORY_FROM, "2026-12-10");
    Commit(historyHandle, HISTORY_SEARCH);
    ASSERT_EQ(ShownPopups().size(), 1U);
    EXPECT_EQ(ShownPopups()[0].title, "경  고");
    EXPECT_EQ(Cell(1, 2), "SN15");

    // A history that cannot be read any more: one warning, nothing of it left shown.
    ClearShownPopups();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "history_breaker");
        db.setDatabaseName(records::DATABASE_FILE);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec("DROP VIEW inspection");
    }
    QSqlDatabase::removeDatabase("history_breaker");
    SetCtrlVal(historyHandle, HISTORY_FROM, "2026-12-03");
    Commit(historyHandle, HISTORY_SEARCH);
    EXPECT_EQ(ShownPopups().size(), 1U);
    EXPECT_EQ(TableRowCount(historyHandle, HISTORY_TABLE), 0);
}

// Tested are the records with a verdict and the yield is O.K over them, on the main panel's strip
// as on the history panel: today's records, O.K (O), N.G (N) and incomplete (I).
// A filter of months counts its units on their own thread and shows them when they come; a
// filter applied meanwhile keeps its own.
TEST_F(HistoryPanelTest, AFilterOfMonthsShowsItsUnitsWhenTheyAreCounted) {
    Fill({{"2026-09-01T08:00:00", "A", "모터", "N.G", 1, 1},
          {"2026-11-20T08:00:00", "A", "모터", "O.K", 1, 1},
          {"2026-11-21T08:00:00", "B", "모터", "O.K", 1, 1},
          {"2026-12-08T08:00:00", "C", "모터", "N.G", 1, 1}});
    Commit(mainHandle, MAIN_HISTORY);
    const auto counted = [] {
        for (int i = 0; i < 1000 && Text(HISTORY_FINAL_YIELD) == "계산 중"; ++i) {
            QGuiApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return Text(HISTORY_FINAL_YIELD) + " " + Text(HISTORY_RETEST_PASSED);
    };
    SetCtrlVal(historyHandle, HISTORY_FROM, "2026-09-01");
    Commit(historyHandle, HISTORY_SEARCH);
    EXPECT_EQ(Text(HISTORY_TESTED), "4");
    EXPECT_EQ(counted(), "66.7 % 1");

    Commit(historyHandle, HISTORY_SEARCH);
    SetCtrlVal(historyHandle, HISTORY_FROM, "2026-12-02");
    Commit(historyHandle, HISTORY_SEARCH);
    Stop_history_panel();
    EXPECT_EQ(counted(), "0.0 % 0");
    EXPECT_TRUE(ShownPopups().empty());
}

TEST_F(HistoryPanelTest, TheStripAndThePanelCountTheSameRecordsAlike) {
    SetSystemDate(0, 0, 0);
    const std::string today = QDate::currentDate().toString(Qt::ISODate).toStdString();
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"OINOO", {"4", "3", "1", "75.0 %"}},
        {"II", {"0", "0", "0", "-"}},
        {std::string(19, 'O') + "NNNNNI", {"24", "19", "5", "79.2 %"}},
    };
    for (const auto& [outcomes, shown] : cases) {
        SCOPED_TRACE(outcomes);
        std::remove(records::DATABASE_FILE);
        std::vector<TestRecord> filled;
        for (const char o : outcomes) {
            const char* outcome = o == 'O' ? "O.K" : o == 'N' ? "N.G" : "incomplete";
            filled.push_back({today + "T08:00:00", "SN", "M", outcome, 1, 1});
        }
        Fill(filled);
        Start_history();
        Commit(mainHandle, MAIN_HISTORY);
        std::vector<std::string> strip, panel;
        for (const auto& [main, history] : {std::pair{MAIN_TESTED, HISTORY_TESTED},
                                            {MAIN_OK_COUNT, HISTORY_OK},
                                            {MAIN_NG_COUNT, HISTORY_NG},
                                            {MAIN_YIELD, HISTORY_YIELD}}) {
            char text[32] = "";
            GetCtrlVal(mainHandle, main, text);
            strip.push_back(text);
            panel.push_back(Text(history));
        }
        EXPECT_EQ(strip, shown);
        EXPECT_EQ(panel, shown);
        history::Stop();
        ResetHistoryPanel();
    }
}

TEST_F(HistoryPanelTest, AChosenRecordShowsItsWavesAndExportsThem) {
    Fill(Week());
    Commit(mainHandle, MAIN_HISTORY);
    Commit(historyHandle, HISTORY_EXPORT_WAVES);  // nothing chosen yet
    ASSERT_EQ(ShownPopups().size(), 1U);
    EXPECT_EQ(ShownPopups()[0].title, "경  고");
    ClearShownPopups();

    ChooseRow(2);  // SN24, id 24
    std::vector<PlotInfo> plots = Plots(HISTORY_WAVES);
    ASSERT_EQ(plots.size(), 2U);
    for (const PlotInfo& plot : plots) {
        ASSERT_EQ(plot.y.size(), 300U);
        const bool standard = plot.colour == 0xFF0000;
        EXPECT_TRUE(standard || plot.colour == 0x0000FF);
        for (int i = 0; i < 300; i += 37) {
            EXPECT_EQ(plot.y[i], standard ? StandardSample(24, i) : MeasuredSample(24, i));
        }
    }
    ChooseRow(1);  // incomplete: no waves
    EXPECT_TRUE(Plots(HISTORY_WAVES).empty());
    ChooseRow(2);

    QueueFileAnswer(dir.File("unit.csv"));
    Commit(historyHandle, HISTORY_EXPORT_WAVES);
    EXPECT_NE(ReadWholeFile(dir.File("unit.csv")).find("\r\n1,-75,51\r\n"), std::string::npos);
    QueueFileAnswer(dir.File("week.csv"));
    Commit(historyHandle, HISTORY_EXPORT);
    EXPECT_NE(ReadWholeFile(dir.File("week.csv")).find(",SN25,FAN,"), std::string::npos);

    QueueFileAnswer(dir.File("gone/week.csv"));
    Commit(historyHandle, HISTORY_EXPORT);
    ASSERT_EQ(ShownPopups().back().kind, PopupKind::MESSAGE);
    EXPECT_EQ(ShownPopups().back().title, "경  고");
    EXPECT_NE(ShownPopups().back().text.find("gone/week.csv"), std::string::npos);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // the export's hour glass is gone
}

// Records that cannot be read are told as such, not as a place or a disk that cannot take the
// file, and the target stays as it was.
TEST_F(HistoryPanelTest, AListWhoseRecordsCannotBeReadIsToldSoAndNotSaved) {
    Fill(Week());
    Commit(mainHandle, MAIN_HISTORY);
    ASSERT_TRUE(ShownPopups().empty());
    const std::string target = dir.File("week.csv");
    WriteWholeFile(target, "earlier");
    // The file damaged under the open panel, in place.
    WriteWholeFile(records::DATABASE_FILE, std::string(1 << 16, 'x'));
    QueueFileAnswer(target);
    Commit(historyHandle, HISTORY_EXPORT);
    ASSERT_EQ(ShownPopups().size(), 2U);  // the file's choice, then the warning
    ASSERT_EQ(ShownPopups().back().kind, PopupKind::MESSAGE);
    EXPECT_EQ(ShownPopups().back().title, "경  고");
    EXPECT_EQ(ShownPopups().back().text, "검사 이력을 읽을 수 없어 목록을 저장하지 않았습니다.");
    EXPECT_EQ(ReadWholeFile(target), "earlier");
    EXPECT_FALSE(FileExists((target + ".part").c_str()));
}

TEST_F(HistoryPanelTest, TheMainPanelsCommandIsDimmedWhileATestRuns) {
    Main_start(mainHandle, MAIN_CMD_30, EVENT_COMMIT, nullptr, 0, 0);  // stops at the empty model
    EXPECT_EQ(Dimmed(mainHandle, MAIN_HISTORY), 1);
    Main_stop(mainHandle, MAIN_CMD_29, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(Dimmed(mainHandle, MAIN_HISTORY), 0);
}

TEST_F(HistoryPanelTest, AHistoryThatIsOffOrUnreadableKeepsTheMainPanel) {
    const std::pair<const char*, std::string> cases[] = {
        {"off", ""}, {nullptr, std::string(4096, 'x')},  // a damaged file
    };
    for (const auto& [setting, file] : cases) {
        ClearShownPopups();
        if (setting != nullptr) {
            setenv("SURGE_HISTORY", setting, 1);
        } else {
            unsetenv("SURGE_HISTORY");
            WriteWholeFile(records::DATABASE_FILE, file);
        }
        Commit(mainHandle, MAIN_HISTORY);
        EXPECT_TRUE(PanelIsVisible(mainHandle));
        EXPECT_FALSE(historyHandle > 0 && PanelIsVisible(historyHandle));
        ASSERT_EQ(ShownPopups().size(), 1U);
        EXPECT_EQ(ShownPopups()[0].title, "경  고");
        EXPECT_EQ(ReadWholeFile(records::DATABASE_FILE), file) << "the file is left as it was";
    }
}
