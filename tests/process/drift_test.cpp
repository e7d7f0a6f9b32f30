// The drift check after each cycle on the station's own file: the run rules of the master's
// newest readings against its version's first 25 production tests.
#include <gtest/gtest.h>

#include <chrono>

#include "history/drift_watch.h"
#include "records/database.h"
#include "records/record_fields.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/work_dir.h"

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
