// [drift] wave: the drift watch on the EWMA of the wave's frequency and damping, against the
// master version's first 25 fitted production tests; without it the watch is as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

#include "history/drift_watch.h"
#include "records/database.h"
#include "records/record_fields.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/work_dir.h"

namespace {

struct Cycle {
    std::optional<double> frequency;
    std::optional<double> damping;
};

// CL 5.0096 and 0.50096, sigma 0.0177 and 0.00177 over 25.
std::vector<Cycle> Steady(int count) {
    std::vector<Cycle> tests;
    for (int k = 0; k < count; ++k) {
        tests.push_back({5.00 + 0.02 * (k % 2), 0.500 + 0.002 * (k % 2)});
    }
    return tests;
}

std::vector<Cycle> Then(std::vector<Cycle> tests, int count, const Cycle& more) {
    tests.insert(tests.end(), static_cast<std::size_t>(count), more);
    return tests;
}

TEST(WaveDriftTest, TheEwmaOfFrequencyAndDampingWithDriftWave) {
    const struct {
        const char* name;
        bool wave;  // [drift] wave
        std::vector<Cycle> tests;
        bool fresh;  // the watch begins at the last test, reading what came before
        const char* says;
    } cases[] = {
        {"off: a step of the frequency changes nothing", false, Then(Steady(25), 5, {5.06, 0.501}),
         false, ""},
        {"on, steady", true, Steady(40), false, ""},
        // z = 2.84: the average passes 1.1 at the step's third test.
        {"on, a step of the frequency", true, Then(Steady(25), 3, {5.06, 0.501}), false,
         "추세 경고: 주파수 EWMA"},
        {"on, two tests into the step", true, Then(Steady(25), 2, {5.06, 0.501}), false, ""},
        {"on, a step of the damping", true, Then(Steady(25), 4, {5.01, 0.506}), false,
         "추세 경고: 감쇠 EWMA"},
        {"on, a wave without a fit", true,
         Then(Then(Steady(25), 3, {5.06, 0.501}), 1, {std::nullopt, std::nullopt}), false, ""},
        {"on, read back at a master's first test", true, Then(Steady(25), 4, {5.06, 0.501}), true,
         "추세 경고: 주파수 EWMA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        records::Database db(QStringLiteral("wave_drift_test"));
        ASSERT_EQ(db.Open(records::DATABASE_FILE), records::DbStatus::Ok);
        history::DriftWatch watch;
        history::Drift drift;
        const auto first = std::chrono::system_clock::now() - std::chrono::hours(1);
        for (std::size_t n = 0; n < c.tests.size(); ++n) {
            const auto at = first + std::chrono::seconds(20 * static_cast<int>(n));
            Inspection inspection = SampleInspection(
                static_cast<int>(n), at, SampleSetup("03", 4.5, 5, 10, 20), 4, 3, Outcome::OK);
            inspection.master_version = "v1";
            WaveOpinion wave;
            wave.ringing_frequency = c.tests[n].frequency;
            wave.damping = c.tests[n].damping;
            ASSERT_EQ(db.Insert({{inspection, records::NewUuid(at), QStringLiteral("line-1"),
                                  QString(), wave}}),
                      records::DbStatus::Ok);
            if (c.fresh && n + 1 == c.tests.size()) {
                watch = history::DriftWatch();
            }
            drift = watch.After(&db, inspection, c.wave ? &wave : nullptr);
        }
        EXPECT_EQ(history::DriftText(drift), c.says);
        db.Close();
    }
}

}  // namespace
