// The export command: the data file's 302 lines, and the launch of the spreadsheet program.
#include <filesystem>
#include <set>
#include <sstream>

#include "export/export.h"
#include "log/log.h"
#include "tests/export/export_fixture.h"

namespace fs = std::filesystem;
using toolkit_testing::Commit;

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class ExcelTest : public ExportTest {
  protected:
    std::vector<std::string> Export() {
        Commit(mainHandle, MAIN_CMD_27);
        return Lines(ReadWholeFile("excel_file.dat"));
    }
};

TEST_F(ExcelTest, WritesTheInspectionAndBothWavesSampleBySample) {
    Show_model("M-01");
    voltage = 1.5f;
    width = 3;
    pulse_no = 5;
    judge = 7;
    area = 10;
    phase = -2;
    std::strcpy(result, "O.K");
    wave[0] = -128;
    measured_wave[0] = 127;
    wave[299] = 5;
    measured_wave[299] = -6;

    const std::vector<std::string> lines = Export();
    ASSERT_EQ(lines.size(), 302u);
    EXPECT_EQ(lines[0], "M-01 1.500000 3 5 7 10 -2 O.K");
    EXPECT_EQ(lines[1], "2024-1-3");
    EXPECT_EQ(lines[2], "-128 127");
    EXPECT_EQ(lines[3], "0 0");
    EXPECT_EQ(lines[301], "5 -6");
    const std::string bytes = ReadWholeFile("excel_file.dat");
    EXPECT_EQ(bytes.back(), '\n');
    EXPECT_EQ(bytes.find('\r'), std::string::npos);
}

// Before any inspection the verdict is BUSY and the readings are zero.
TEST_F(ExcelTest, ModelTextIsWrittenInCodePage949BeforeTheBusyVerdict) {
    struct Case {
        const char* shown;
        std::string written;
        bool warned;
    };
    const Case cases[] = {
        {"M-01", "M-01", false},
        {"모터", "\xB8\xF0\xC5\xCD", false},
        {"똠A",
         "\x8C\x63"
         "A",
         false},
        {"A😀B", "A?B", true},  // the code page lacks it: the line keeps its shape
        {"", "", false},
    };
    std::strcpy(excel_path, "/usr/bin/localc chart.xls");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        toolkit_testing::ClearShownPopups();
        Show_model(c.shown);
        EXPECT_EQ(Export().at(0), c.written + " 0.000000 0 0 0 0 0 BUSY");
        EXPECT_EQ(Warnings().size(), c.warned ? 1u : 0u);
    }
}

TEST_F(ExcelTest, DateIsYearMonthDayWithoutLeadingZeros) {
    struct Case {
        int year, month, day;
        const char* line;
    };
    for (const Case& c : {Case{2024, 1, 3, "2024-1-3"}, Case{2024, 12, 25, "2024-12-25"}}) {
        toolkit_testing::SetSystemDate(c.year, c.month, c.day);
        EXPECT_EQ(Export().at(1), c.line);
    }
}

TEST_F(ExcelTest, ASecondExportReplacesTheFirstWhole) {
    voltage = 1.5f;
    wave[10] = 9;
    Export();
    voltage = 2.0f;
    wave[10] = -9;
    const std::vector<std::string> lines = Export();
    ASSERT_EQ(lines.size(), 302u);
    EXPECT_EQ(lines[0], " 2.000000 0 0 0 0 0 BUSY");
    EXPECT_EQ(lines[12], "-9 0");
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir_.Path())) {
        if (entry.path().filename() != surge_log::LOG_FILE) {
            files.insert(entry.path().filename().string());
        }
    }
    EXPECT_EQ(files, (std::set<std::string>{"surge.uir", "excel_file.dat"}));
}

TEST_F(ExcelTest, StartsTheProgramDirectlyWithTheWorkbookAsItsOneArgument) {
    WriteWholeFile("chart.xls", "");
    struct Case {
        const char* excel_path;
        Launch expected;
    };
    const Case cases[] = {
        {"/usr/bin/localc chart.xls", {"/usr/bin/localc", "chart.xls"}},
        {"/opt/My Office/calc;rm -rf ~ chart.xls", {"/opt/My Office/calc;rm -rf ~", "chart.xls"}},
        {"/opt/a chart.xls chart.xls", {"/opt/a chart.xls", "chart.xls"}},
        {" chart.xls", {"", "chart.xls"}},  // none chosen: the desktop's program for it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.excel_path);
        launches_.clear();
        std::strcpy(excel_path, c.excel_path);
        Export();
        EXPECT_EQ(launches_, std::vector<Launch>{c.expected});
        EXPECT_STREQ(excel_path, c.excel_path);
    }
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(ExcelTest, FailedLaunchIsReportedAndTheDataFileStaysWritten) {
    std::strcpy(excel_path, "/gone/localc chart.xls");
    launch_status_ = -1;
    EXPECT_EQ(Export().size(), 302u);
    ASSERT_EQ(Warnings().size(), 1u);
    EXPECT_NE(Warnings()[0].find("/gone/localc"), std::string::npos);
}

TEST_F(ExcelTest, WithoutProgramOrWorkbookTheOperatorIsTold) {
    EXPECT_EQ(Export().size(), 302u);
    EXPECT_TRUE(launches_.empty());
    EXPECT_EQ(Warnings().size(), 1u);
}

TEST_F(ExcelTest, UnwritableDataFileIsReportedAndNothingIsLaunched) {
    struct Case {
        const char* name;
        void (*block)();
    };
    const Case cases[] = {
        {"a directory in its place", [] { fs::create_directory("excel_file.dat"); }},
        {"a full disk", [] { fs::create_symlink("/dev/full", "excel_file.dat"); }},
    };
    std::strcpy(excel_path, "/usr/bin/localc chart.xls");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        toolkit_testing::ClearShownPopups();
        fs::remove_all("excel_file.dat");
        c.block();
        Commit(mainHandle, MAIN_CMD_27);
        EXPECT_EQ(Warnings().size(), 1u);
        EXPECT_TRUE(launches_.empty());
    }
}

TEST_F(ExcelTest, OnlyTheCommitEventExports) {
    EXPECT_EQ(Excel(mainHandle, MAIN_CMD_27, EVENT_LEFT_CLICK, nullptr, 0, 0), 0);
    EXPECT_FALSE(fs::exists("excel_file.dat"));
    EXPECT_TRUE(launches_.empty());
}

}  // namespace
