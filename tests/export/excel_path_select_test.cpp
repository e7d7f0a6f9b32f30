// The choice of the spreadsheet program: excel_path, the path field and "excel_path.txt", and
// what start-up makes of the file afterwards.
#include <filesystem>

#include "export/export.h"
#include "tests/export/export_fixture.h"

namespace fs = std::filesystem;
using toolkit_testing::Commit;
using toolkit_testing::QueueFileAnswer;

namespace {

class ExcelPathSelectTest : public ExportTest {
  protected:
    void Choose(const std::string& answer) {
        QueueFileAnswer(answer);
        Commit(setupHandle, SETUP_EXCEL_SELECT);
    }
    // The path file, the field and excel_path all agree on `path`.
    void ExpectEverywhere(const std::string& path) {
        EXPECT_EQ(ReadWholeFile("excel_path.txt"), path);
        EXPECT_EQ(PathField(), path);
        EXPECT_EQ(std::string(excel_path), path + " chart.xls");
    }
};

TEST_F(ExcelPathSelectTest, EachChoiceReplacesThePathEverywhereAndACancelKeepsIt) {
    struct Step {
        const char* answer;  // "" cancels
        const char* path;
    };
    const Step steps[] = {
        {"/usr/bin/localc", "/usr/bin/localc"},
        {"/opt/My Office/calc", "/opt/My Office/calc"},
        {"", "/opt/My Office/calc"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.answer);
        Choose(step.answer);
        ExpectEverywhere(step.path);
    }
    EXPECT_TRUE(Warnings().empty());
    const auto& dialog = toolkit_testing::ShownPopups().at(0);
    EXPECT_EQ(dialog.kind, toolkit_testing::PopupKind::FILE_SELECT);
    EXPECT_EQ(dialog.title, "excel");
    EXPECT_EQ(dialog.text, "/usr/bin *.exe");  // the executables where programs live

    // A restart restores the last choice from the path file.
    DiscardPanels();
    LoadPanels();
    Display_init();
    EXPECT_EQ(PathField(), "/opt/My Office/calc");
    EXPECT_STREQ(excel_path, "/opt/My Office/calc chart.xls");
}

TEST_F(ExcelPathSelectTest, APathLeavingNoRoomForTheWorkbookIsRefused) {
    Choose("/usr/bin/localc");
    struct Case {
        std::size_t length;
        bool accepted;
    };
    for (const Case& c : {Case{249, true}, Case{250, false}, Case{259, false}}) {
        SCOPED_TRACE(c.length);
        toolkit_testing::ClearShownPopups();
        const std::string before = excel_path;
        const std::string path = "/" + std::string(c.length - 1, 'a');
        Choose(path);
        if (c.accepted) {
            ExpectEverywhere(path);
            EXPECT_TRUE(Warnings().empty());
            Choose("/usr/bin/localc");
        } else {
            ExpectEverywhere("/usr/bin/localc");
            EXPECT_EQ(Warnings().size(), 1u);
        }
    }
}

TEST_F(ExcelPathSelectTest, UnwritablePathFileIsReportedAndTheChoiceHoldsForThisRun) {
    fs::create_directory("excel_path.txt");
    Choose("/usr/bin/localc");
    EXPECT_EQ(Warnings().size(), 1u);
    EXPECT_EQ(PathField(), "/usr/bin/localc");
    EXPECT_STREQ(excel_path, "/usr/bin/localc chart.xls");
}

TEST_F(ExcelPathSelectTest, OnlyTheCommitEventOpensTheDialog) {
    QueueFileAnswer("/usr/bin/localc");
    EXPECT_EQ(Excel_path_select(setupHandle, SETUP_EXCEL_SELECT, EVENT_LEFT_CLICK, nullptr, 0, 0),
              0);
    EXPECT_TRUE(toolkit_testing::ShownPopups().empty());
    EXPECT_STREQ(excel_path, " chart.xls");
    Choose("");  // takes the queued answer off again
}

}  // namespace
