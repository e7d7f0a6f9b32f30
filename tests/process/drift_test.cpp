// The drift check after each cycle on the station's own file: the run rules of the master's
// newest readings against its version's first 25 production tests, and the alarm on the main
// panel.
#include <gtest/gtest.h>

#include <QWidget>
#include <chrono>
#include <cstdlib>

#include "app/surge.h"
#include "history/drift_watch.h"
#include "history/recorder.h"
#include "records/database.h"
#include "records/record_fields.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

struct Cycle {
    const char* version;
    int area;
    int phase;
};

std::vector<Cycle> Steady(int count, const char* version = "v1") {
    std::vector<Cycle> tests;
    for (int k = 0; k < count; ++k) {
        tests.push_back({version, 4 + k % 3, 3});  // CL 4.96, sigma 1.18 over 25
    }
    return tests;
}

std::vector<Cycle> Then(std::vector<Cycle> tests, const std::vector<Cycle>& more) {
    tests.insert(tests.end(), more.begin(), more.end());
    return tests;
}

TEST(DriftTest, TheNewestReadingsOfTheMasterAgainstItsVersionsFirstTests) {
    const struct {
        const char* name;
        std::vector<Cycle> tests;
        const char* says;  // after the last test
    } cases[] = {
        {"steady", Steady(30), ""},
        {"one far above", Then(Steady(25), {{"v1", 15, 3}}), "추세 경고: 면적 규칙 1"},
        {"both far off", Then(Steady(25), {{"v1", 15, 9}}), "추세 경고: 면적 규칙 1, 위상 규칙 1"},
        {"eight a little above", Then(Steady(25), std::vector<Cycle>(8, {"v1", 6, 3})),
         "추세 경고: 면적 규칙 4"},
        {"a new version judged by its own first tests",
         Then(Steady(25), {{"v2", 20, 3}, {"v2", 21, 3}, {"v2", 20, 3}}), ""},
        {"the first test of a master", {{"v1", 50, 3}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        records::Database db(QStringLiteral("drift_test"));
        ASSERT_EQ(db.Open(records::DATABASE_FILE), records::DbStatus::Ok);
        history::DriftWatch watch;
        history::Drift drift;
        const auto first = std::chrono::system_clock::now() - std::chrono::hours(1);
        int n = 0;
        for (const Cycle& test : c.tests) {
            const auto at = first + std::chrono::seconds(20 * n);
            Inspection inspection = SampleInspection(n++, at, SampleSetup("03", 4.5, 5, 10, 20),
                                                     test.area, test.phase, Outcome::OK);
            inspection.master_version = test.version;
            ASSERT_EQ(db.Insert({{inspection, records::NewUuid(at), QStringLiteral("line-1")}}),
                      records::DbStatus::Ok);
            drift = watch.After(&db, inspection);
        }
        EXPECT_EQ(history::DriftText(drift), c.says);
        db.Close();
    }
}

}  // namespace

// The recorder's strip after each cycle: "추세 경고" shown with the rule and the test's time, kept
// while the master's tests still break rules, gone after eight in a row that break none.
TEST(DriftTest, TheMainPanelShowsTheAlarmUntilEightCleanTests) {
    ScopedWorkDir dir;
    Reset_program_state();
    Register_callbacks();
    mainHandle = LoadPanel(0, SURGE_UIR, MAIN);
    ASSERT_GT(mainHandle, 0);
    DisplayPanel(mainHandle);
    Start_history();
    const auto shown = [] {
        int visible = -1;
        GetCtrlAttribute(mainHandle, MAIN_DRIFT, ATTR_VISIBLE, &visible);
        char text[128] = "";
        GetCtrlVal(mainHandle, MAIN_DRIFT, text);
        return visible == 1 ? std::string(text) : std::string();
    };
    const auto first = std::chrono::system_clock::now() - std::chrono::hours(1);
    int n = 0;
    const auto cycle = [&](int area) {
        Inspection inspection =
            SampleInspection(n, first + std::chrono::seconds(20 * n),
                             SampleSetup("03", 4.5, 5, 10, 20), area, 3, Outcome::OK);
        ++n;
        inspection.master_version = "v1";
        history::Record(inspection);
    };
    for (const Cycle& test : Steady(25)) {
        cycle(test.area);
    }
    EXPECT_EQ(shown(), "");
    cycle(15);
    const std::string at =
        records::IsoTime(first + std::chrono::seconds(20 * 25)).mid(11, 5).toStdString();
    EXPECT_EQ(shown(), "추세 경고: 면적 규칙 1 (" + at + ")");
    if (const char* picture = std::getenv("SURGE_DRIFT_PICTURE")) {
        toolkit_testing::PanelWidget(mainHandle)->grab().save(QString::fromUtf8(picture));
    }
    for (int k = 0; k < 7; ++k) {
        cycle(4 + k % 3);
    }
    EXPECT_NE(shown(), "");  // seven clean tests: still shown
    cycle(4);
    EXPECT_EQ(shown(), "");
    history::Stop();
    DiscardPanel(mainHandle);
}
