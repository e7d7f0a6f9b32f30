// The station's own judgement of the wave after each cycle: the features on every record, the
// reference learned from a master version's first passed production units (one audit row), a
// fault the tester passed flagged beside the lamps, and the reference learned again at a restart;
// or from the records an engineer names on the history panel.
#include <algorithm>
#include <string>
#include <vector>

#include "after_cycle/after_cycle.h"
#include "history/history_panel.h"
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
        ResetHistoryPanel();
        HistoryTest::TearDown();
        settings::StopSettings();
        trail::StopTrail();
    }
    // One finished cycle of master version "v1" that the tester passed.
    void Cycle(const Winding& winding, Outcome outcome = Outcome::OK) {
        CycleOf("M-01", "v1", winding, outcome);
    }
    void CycleOf(const std::string& master, const std::string& version, const Winding& winding,
                 Outcome outcome = Outcome::OK, bool reference_unit = false) {
        Inspection inspection = Inspected(outcome, at_);
        at_ += std::chrono::seconds(2);
        inspection.master = master;
        inspection.master_version = version;
        inspection.reference = reference_unit;
        inspection.measured_wave = ToWave(population_.Record(winding));
        inspection.standard_wave = ToWave(population_.Standard());
        after_cycle::Run(inspection);
    }
    // Copies `from`'s records `times` over as master `to`'s, faster than cycles would make them.
    static void CopyRecords(const std::string& from, const std::string& to, int times) {
        std::string names, values;
        for (const auto& row : Query("SELECT name FROM pragma_table_info('inspection_record')")) {
            const std::string& name = row.at(0);
            names += (names.empty() ? "" : ", ") + name;
            values += (values.empty() ? "" : ", ") + (name == "id"       ? "NULL"
                                                      : name == "seq"    ? "seq + 100000 * k"
                                                      : name == "uuid"   ? "uuid || k"
                                                      : name == "master" ? "'" + to + "'"
                                                                         : name);
        }
        Query("WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < " +
              std::to_string(times) + ") INSERT INTO inspection_record (" + names + ") SELECT " +
              values + " FROM inspection_record, n WHERE master = '" + from + "'");
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

TEST_F(WaveCheckTest, AnEngineerNamesTheUnitsOfAVersionsReferenceOnTheHistoryPanel) {
    Start_history();
    const auto cycles = [this](int units, const char* master, const char* version,
                               Outcome outcome = Outcome::OK, bool reference_unit = false) {
        for (int unit = 0; unit < units; ++unit) {
            CycleOf(master, version, population_.GoodUnit(), outcome, reference_unit);
        }
    };
    cycles(12, "M-01", "v1");
    cycles(9, "M-01", "v2");
    cycles(3, "M-01", "v2", Outcome::OK, true);
    cycles(3, "M-01", "v2", Outcome::NG);
    cycles(4, "M-02", "w1");
    CopyRecords("M-02", "M-03", 251);
    toolkit_testing::Commit(mainHandle, MAIN_HISTORY);

    // Only the newest version's passed production units with a wave count.
    const struct {
        const char* master;  // in the filter
        int more;            // passed units of v2 first
        bool dimmed;
        std::string told;  // in the last popup
        size_t named;      // rows kept for v2
    } cases[] = {
        {"", 0, true, "", 0},
        {"M-02", 0, false, "기준을 학습할 수 있는 기록이 4대입니다", 0},
        {"M-03", 0, false, "기준을 학습할 수 있는 기록이 1004대입니다", 0},
        {"M-01", 0, false, "기준을 학습할 수 있는 기록이 9대입니다", 0},
        {"M-01", 3, false, "버전 v2: 12대 중 ", 12},
    };
    for (const auto& c : cases) {
        cycles(c.more, "M-01", "v2");
        toolkit_testing::ClearShownPopups();
        toolkit_testing::TypeText(historyHandle, HISTORY_MASTER, c.master);
        toolkit_testing::Commit(historyHandle, HISTORY_SEARCH);
        int dimmed = -1;
        GetCtrlAttribute(historyHandle, HISTORY_LEARN, ATTR_DIMMED, &dimmed);
        EXPECT_EQ(dimmed, c.dimmed ? 1 : 0) << c.master;
        if (c.named > 0) {
            toolkit_testing::QueuePromptAnswer("시험 권선 교체");
        }
        toolkit_testing::Commit(historyHandle, HISTORY_LEARN);
        const auto& shown = toolkit_testing::ShownPopups();
        EXPECT_NE((shown.empty() ? std::string() : shown.back().text).find(c.told),
                  std::string::npos)
            << c.master << c.more;
        EXPECT_EQ(
            Query("SELECT record FROM wave_reference_unit WHERE master_version = 'v2'").size(),
            c.named);
    }
    // The engineer is asked in the learning's own words, not a start's.
    const auto& asked = toolkit_testing::ShownPopups();
    EXPECT_TRUE(std::any_of(asked.begin(), asked.end(), [](const auto& popup) {
        return popup.text.find("취소하면 기준을 바꾸지 않습니다.") != std::string::npos;
    }));
    const auto learned = [](const char* version) {
        return Query(
            "SELECT reason, substr(after_value, 1, instr(after_value, '중')) FROM audit "
            "WHERE action = 'wave reference learned' AND after_value LIKE '%" +
            std::string(version) + ":%'");
    };
    EXPECT_EQ(learned("v2"), (FileRows{{"시험 권선 교체", "엔지니어 지정, 버전 v2: 12대 중"}}));

    // The next cycle is judged against it, and so after a restart; v1 still learns by itself.
    for (int restarted = 0; restarted < 2; ++restarted) {
        CycleOf("M-01", "v2", Faster(population_.GoodUnit(), 0.02));
        EXPECT_EQ(Newest("wave_alarm"), "1") << restarted;
        CycleOf("M-01", "v2", population_.GoodUnit());
        EXPECT_EQ(Newest("wave_alarm"), "0") << restarted;
        history::Stop();
        Start_history();
    }
    cycles(18, "M-01", "v1");
    EXPECT_EQ(learned("v1"), (FileRows{{"", "버전 v1: 30대 중"}}));
    EXPECT_EQ(Query("SELECT COUNT(*) FROM wave_reference_unit"), (FileRows{{"12"}}));
}

}  // namespace
