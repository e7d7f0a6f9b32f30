// The exports: CSV cells, the records' file, the waves' file, and a target that cannot be written.
#include <sys/resource.h>

#include <csignal>

#include "history/history_export.h"
#include "records/database_file.h"
#include "tests/history/reader_fixture.h"
#include "toolkit/toolkit.h"

namespace {

const std::string BOM = "\xEF\xBB\xBF";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
}

}  // namespace

TEST(HistoryCsvTest, CellsAreQuotedOnlyWhereNeededAndNeverReadAsFormulas) {
    const std::pair<std::string, std::string> cases[] = {
        {"모터-1", "모터-1"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"=1+2", "'=1+2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"-5", "-5"},
        {"-1.5", "-1.5"},
        {"+3", "+3"},
        {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        // Starts like a formula and is no plain number (a sign, digits, a point and digits).
        {"-1+2", "'-1+2"},
        {"+82-10-1234", "'+82-10-1234"},
        {"-", "'-"},
        {"-.5", "'-.5"},
        {"-5.", "'-5."},
        {"-1.2.3", "'-1.2.3"},
        {"\t=1+2", "'\t=1+2"},
        {"\r=1+2", "\"'\r=1+2\""},
    };
    for (const auto& [text, cell] : cases) {
        EXPECT_EQ(history::CsvCell(text), cell) << text;
    }
}

TEST_F(ReaderTest, TheRecordsFileHoldsOneRowPerRecordOldestFirst) {
    Fill({{"2026-12-01T08:00:00", "SN,1", "모터", "O.K", 10, 11},
          {"2026-12-02T09:30:00", "SN2", "FAN", "incomplete"},
          {"2026-12-09T09:30:00", "SN3", "FAN", "O.K", 1, 2}});
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    ASSERT_EQ(history::ExportRecords(reader, Days("2026-12-01", "2026-12-08"), "records.csv"),
              history::ExportResult::WRITTEN);
    const std::string text = ReadWholeFile("records.csv");
    ASSERT_EQ(text.substr(0, 3), BOM);
    const std::vector<std::string> lines = Lines(text.substr(3));
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0],
              "id,started_at,ended_at,station,serial,master,model_no,voltage,width,pulse_no,judge,"
              "area,phase,outcome,stopped_at,operator,master_version,ringing_frequency,damping,"
              "error_area,standard_error_area,hf_energy,wave_alarm,wave_rule");
    EXPECT_EQ(lines[1],
              "1,2026-12-01T08:00:00.000+09:00,2026-12-01T08:00:00.000+09:00,line-1,\"SN,1\",모터,"
              "12,1.5,10,5,20,10,11,O.K,,,,,,,,,,");
    EXPECT_EQ(lines[2],
              "2,2026-12-02T09:30:00.000+09:00,2026-12-02T09:30:00.000+09:00,line-1,SN2,FAN,"
              "12,1.5,10,5,20,,,incomplete,WT,,,,,,,,,");
    EXPECT_FALSE(FileExists("records.csv.part"));
}

TEST_F(ReaderTest, TheWavesFileHoldsThreeHundredRows) {
    Wave standard, measured;
    for (int i = 0; i < 300; ++i) {
        standard[i] = StandardSample(4, i);
        measured[i] = MeasuredSample(4, i);
    }
    ASSERT_TRUE(history::ExportWaves("waves.csv", standard, measured));
    std::vector<std::string> lines = Lines(ReadWholeFile("waves.csv").substr(3));
    ASSERT_EQ(lines.size(), 301U);
    EXPECT_EQ(lines[0], "index,standard,measured");
    EXPECT_EQ(lines[1], "0,-96,92");
    EXPECT_EQ(lines[300], "299,3,-7");

    ASSERT_TRUE(history::ExportWaves("half.csv", standard, std::nullopt));
    lines = Lines(ReadWholeFile("half.csv").substr(3));
    EXPECT_EQ(lines[1], "0,-96,");
}

TEST_F(ReaderTest, AFileThatCannotBeWrittenLeavesTheTargetAsItWas) {
    const Wave wave = {};
    WriteWholeFile("kept.csv", "earlier");
    // A folder that is not there, and a full disk (the file-size limit stands in for it).
    EXPECT_FALSE(history::ExportWaves("missing/waves.csv", wave, wave));
    EXPECT_FALSE(FileExists("missing/waves.csv"));

    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = history::ExportWaves("kept.csv", wave, wave);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadWholeFile("kept.csv"), "earlier");
    EXPECT_FALSE(FileExists("kept.csv.part"));
}
