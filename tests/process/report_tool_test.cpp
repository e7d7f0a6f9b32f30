// surge-report run as a supervisor's job runs it: the PDF's text holds each section's figures,
// its fonts are embedded, and a command line, a history or a target that cannot be used is told.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "tests/process/process_fixture.h"
#include "tests/support/file_rows.h"
#include "tests/support/work_dir.h"

namespace {

struct ToolRun {
    int exit_code = -1;
    std::string output;
};

ToolRun Tool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    ToolRun run;
    if (tool.waitForFinished(120000) && tool.exitStatus() == QProcess::NormalExit) {
        run.exit_code = tool.exitCode();
    }
    run.output = tool.readAll().toStdString();
    return run;
}

ToolRun Report(const QStringList& arguments) {
    return Tool(QStringLiteral(SURGE_REPORT_PATH), arguments);
}

// A shift of two masters: M-01 drifts upward at its end, M-02 is steady; a few N.G, one unit
// passed on retest, a reference unit; the line stopped and acknowledged, a retest let go.
std::vector<ProcessRecord> AShift() {
    std::vector<ProcessRecord> records = {
        {MinuteAfterSix(0), "REF-1", "M-01", "O.K", 5, 2, 20, "v3", "kim", "line-1", 1, true}};
    for (int k = 0; k < 160; ++k) {
        const bool late = k >= 150;
        records.push_back({MinuteAfterSix(k), "U" + std::to_string(k), "M-01",
                           k % 40 == 7 ? "N.G" : "O.K", late ? 19 : 4 + k % 3, 2 + k % 2, 20, "v3",
                           k < 80 ? "kim" : "lee", "line-1"});
    }
    records.push_back(
        {MinuteAfterSix(200), "U7", "M-01", "O.K", 5, 2, 20, "v3", "lee", "line-1", 2});
    for (int k = 0; k < 30; ++k) {
        records.push_back({MinuteAfterSix(k * 2 + 300), "W" + std::to_string(k), "M-02",
                           k == 3 ? "N.G" : "O.K", 6 + k % 2, 3, 12, "v1", "park", "line-1"});
    }
    return records;
}

const std::vector<GateRow> SHIFT_GATES = {
    {MinuteAfterSix(151), "line stopped", "M-01", "", "추세 경고 면적 규칙 1", ""},
    {MinuteAfterSix(152), "line stop acknowledged", "M-01", "추세 경고 면적 규칙 1", "",
     "동선 롯트 교체"},
    {MinuteAfterSix(199), "gate overridden", "retest U7", "3 회 N.G", "", "권선 재확인"},
    {MinuteAfterSix(300), "settings changed", "line_stop/enabled", "false", "true", ""},
};

TEST(ReportToolTest, TheReportHoldsEachSectionsFigures) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    ScopedWorkDir dir;
    FillProcess(AShift(), SHIFT_GATES);
    const ToolRun run =
        Report({"--from", "2026-12-09 06:00", "--to", "2026-12-09 14:00", "shift.pdf"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_TRUE(std::filesystem::exists("shift.pdf"));
    EXPECT_FALSE(std::filesystem::exists("shift.pdf.part"));
    if (const char* keep = std::getenv("SURGE_REPORT_KEEP")) {
        std::filesystem::copy_file("shift.pdf", keep,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    const ToolRun text = Tool("pdftotext", {"-layout", "shift.pdf", "-"});
    ASSERT_EQ(text.exit_code, 0);
    // Qt's writer maps the blank of its font subsets to character 1 for a reader of the text.
    std::string pdf = text.output;
    std::replace(pdf.begin(), pdf.end(), '\x01', ' ');
    std::string missing;
    for (const char* expected :
         {"검사 보고서", "검사기: line-1", "기간: 2026-12-09 06:00 ~ 2026-12-09 14:00",
          "작업자: kim, lee, park",
          // The counts: M-01 161 tested, 4 N.G; M-02 30 and 1; together 191 and 5.
          "M-01 (v3)", "161", "157", "97.5 %", "M-02 (v1)", "96.7 %", "합계", "191", "186",
          "97.4 %",
          // The units: 190, 185 passed their first test; U7 passed on its second.
          "직행률", "97.4 %", "최종 양품률", "97.9 %", "재검사 합격: U7 (2회)",
          // M-01's last ten readings far above its limits, and its retest; the stop, its
          // acknowledgement and the override, and no settings change; the reference unit.
          "추세 경고 11건", "면적", "19", "규칙 1, 2, 3, 4",
          "라인 정지 · 확인 · 검사 조건 무시 3건", "12-09 08:31:00", "라인 정지", "정지 확인",
          "동선 롯트 교체 (이엔지)", "조건 무시", "retest U7", "권선 재확인", "기준품 검사 1건",
          "REF-1",
          // The Pareto: 5 N.G units, M-01 4 of them (80 %).
          "N.G 파레토 (N.G 대수 5)", "마스터별", "검사기별", "시간대별", "작업자별", "80%", "100%",
          // Each master's charts, their limits from v3's first 25 tests, the capability.
          "관리도: M-01 (버전 v3)", "면적 I-MR 관리도", "위상 I-MR 관리도",
          "기준: 버전 v3의 첫 25건", "CL 4.96", "Ppk", "Cpk", "백분위 지수", "(161건)",
          "관리도: M-02 (버전 v1)", "기록 부족 (30건, 125건부터)", "최근 신호"}) {
        if (pdf.find(expected) == std::string::npos) {
            missing += std::string(missing.empty() ? "" : " | ") + expected;
        }
    }
    EXPECT_EQ(missing, "") << pdf;
    // Each font embedded: pdffonts' columns end "emb sub uni object ID".
    const ToolRun fonts = Tool("pdffonts", {"shift.pdf"});
    EXPECT_NE(fonts.output.find("NanumGothic"), std::string::npos) << fonts.output;
    const QStringList lines = QString::fromStdString(fonts.output).split('\n');
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(' ', Qt::SkipEmptyParts);
        if (fields.size() >= 6) {
            EXPECT_EQ(fields[fields.size() - 5], "yes") << lines[i].toStdString();
        }
    }
}

// M-01's waves fitted but one in ten, their frequency stepping up with its readings at the end;
// M-02's never fitted: only M-01's page charts the frequency and the damping.
TEST(ReportToolTest, AMasterWithFittedWavesGetsTheirChartsAndEwma) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    ScopedWorkDir dir;
    FillProcess(AShift());
    QueryFile(
        "UPDATE inspection_record SET ringing_frequency = CASE WHEN id % 10 = 5 THEN NULL WHEN"
        " area = 19 THEN 5.2 ELSE 5 + (id % 2) * 0.02 END, damping = CASE WHEN id % 10 = 5 THEN"
        " NULL ELSE 0.5 + (id % 3) * 0.001 END WHERE master = 'M-01'");
    ASSERT_EQ(
        Report({"--from", "2026-12-09 06:00", "--to", "2026-12-09 14:00", "shift.pdf"}).exit_code,
        0);
    std::string pdf = Tool("pdftotext", {"-layout", "shift.pdf", "-"}).output;
    std::replace(pdf.begin(), pdf.end(), '\x01', ' ');
    const auto count = [&pdf](const std::string& text) {
        std::size_t n = 0;
        for (auto at = pdf.find(text); at != std::string::npos; at = pdf.find(text, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("주파수 I-MR 관리도"), 1u) << pdf;
    EXPECT_EQ(count("주파수 EWMA 관리도"), 1u);
    EXPECT_EQ(count("감쇠 I-MR 관리도"), 1u);
    EXPECT_EQ(count("감쇠 EWMA 관리도"), 1u);
    EXPECT_EQ(count("규격 없음"), 4u);
    EXPECT_EQ(count("측정 불가 기록 16건 제외"), 4u);
    // The step's EWMA among the alarms, still beyond its limit at U7's retest after it; the
    // damping steady.
    for (const char* line :
         {"주파수 +5\\.2000 +EWMA", "최근 신호: 2026-12-09 09:20:00 +주파수 = 5\\.0000 +\\(EWMA\\)",
          "감쇠: EWMA 신호 없음"}) {
        EXPECT_TRUE(std::regex_search(pdf, std::regex(line))) << line;
    }
}

TEST(ReportToolTest, WhatCannotBeUsedIsToldWithItsExitCode) {
    ScopedWorkDir dir;
    FillProcess(AShift());
    // A history an older station left, its records without their attempts.
    QueryFile(
        "CREATE TABLE inspection (id INTEGER PRIMARY KEY, station TEXT, started_at TEXT,"
        " serial TEXT, master TEXT, outcome TEXT)",
        "old.db");
    const struct {
        const char* name;
        QStringList arguments;
        int exit_code;
        const char* says;
    } cases[] = {
        {"no file named", {"--from", "2026-12-09", "--to", "2026-12-09"}, 3, "usage"},
        {"one end only", {"--from", "2026-12-09", "a.pdf"}, 3, "give both --from and --to"},
        {"no date",
         {"--from", "monday", "--to", "2026-12-09", "a.pdf"},
         3,
         "--from \"monday\" is no date"},
        {"no history", {"--db", "missing.db", "a.pdf"}, 1, "cannot read the history"},
        {"an older station's history",
         {"--db", "old.db", "a.pdf"},
         1,
         "the history \"old.db\" is of an older station's layout"},
        {"a folder that is not there",
         {"--from", "2026-12-09", "--to", "2026-12-09", "no/such/folder/a.pdf"},
         2,
         "cannot write \"no/such/folder/a.pdf\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = Report(c.arguments);
        EXPECT_EQ(run.exit_code, c.exit_code) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        EXPECT_FALSE(std::filesystem::exists("a.pdf"));
    }
}

}  // namespace
