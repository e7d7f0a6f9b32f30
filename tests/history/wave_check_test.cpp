// The station's own judgement of the wave after each cycle: the features on every record, the
// reference learned from a master version's first passed production units (one audit row), a
// fault the tester passed flagged beside the lamps, and the reference learned again at a restart.
#include <string>
#include <vector>

#include "after_cycle/after_cycle.h"
#include "settings/settings_in_force.h"
#include "sim/population.h"
#include "tests/history/history_fixture.h"
#include "trail/audit_trail.h"

namespace {

class WaveCheckTest : public HistoryTest {
  protected:
    void SetUp() override {
        HistoryTest::SetUp();
        settings::StartSettings();
    }
    void TearDown() override {
        HistoryTest::TearDown();
        settings::StopSettings();
        trail::StopTrail();
    }
    // One finished cycle of master version "v1" that the tester passed.
    void Cycle(const Winding& winding, Outcome outcome = Outcome::OK) {
        Inspection inspection = Inspected(outcome, at_);
        at_ += std::chrono::seconds(2);
        inspection.master = "M-01";
        inspection.master_version = "v1";
        inspection.measured_wave = ToWave(population_.Record(winding));
        inspection.standard_wave = ToWave(population_.Standard());
        after_cycle::Run(inspection);
    }
    static std::string Newest(const std::string& columns) {
        const FileRows rows =
            Query("SELECT " + columns + " FROM inspection ORDER BY id DESC LIMIT 1");
        std::string text;
        for (const std::string& cell : rows.at(0)) {
            text += (text.empty() ? "" : "|") + cell;
        }
        return text;
    }

    Population population_{7};
    std::chrono::system_clock::time_point at_ = std::chrono::system_clock::now();
};

TEST_F(WaveCheckTest, AReferenceLearnedFromTheFirstPassedUnitsFlagsAFaultTheTesterPassed) {
    Start_history();
    for (int unit = 0; unit < 30; ++unit) {
        Cycle(population_.GoodUnit());
        EXPECT_EQ(Newest("wave_alarm IS NULL AND ringing_frequency > 0"), "1") << unit;
    }
    const std::string learned =
        "SELECT action, object FROM audit WHERE action = 'wave reference learned'";
    EXPECT_EQ(Query(learned), (FileRows{{"wave reference learned", "M-01"}}));

    const struct {
        const char* unit;
        Winding winding;
        std::string alarm;  // wave_alarm and whether the rule names the frequency
        bool shown;
    } cases[] = {
        {"good", population_.GoodUnit(), "0|0", false},
        {"2 % faster", Faster(population_.GoodUnit(), 0.02), "1|1", true},
        {"good again", population_.GoodUnit(), "0|0", false},
    };
    for (const auto& c : cases) {
        Cycle(c.winding);
        EXPECT_EQ(Newest("wave_alarm, wave_rule LIKE 'frequency%'"), c.alarm) << c.unit;
        EXPECT_EQ(Shown(MAIN_WAVE), c.shown ? 1 : 0) << c.unit;
    }
    Cycle(population_.GoodUnit(), Outcome::INCOMPLETE);
    EXPECT_EQ(Newest("ringing_frequency, wave_alarm"), "NULL|NULL");

    // At a restart the reference is learned again from the same units, with no second row.
    history::Stop();
    Start_history();
    Cycle(Faster(population_.GoodUnit(), 0.02));
    EXPECT_EQ(Newest("wave_alarm"), "1");
    EXPECT_EQ(Query(learned).size(), 1U);
}

}  // namespace
