// The history's definitions on sequences of tests, and the gates at the start of a cycle: the
// retest limit, the line stop per master with its acknowledgement, and the reference check with
// a wrong verdict and an override. Each start goes through the gates as the start command's does.
#include <gtest/gtest.h>

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/surge.h"
#include "gates/gates.h"
#include "history/counts.h"
#include "history/history_query.h"
#include "history/recorder.h"
#include "records/database_file.h"
#include "records/record_fields.h"
#include "settings/settings_in_force.h"
#include "state/surge_uir.h"
#include "tests/support/file_rows.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit_testing.h"
#include "trail/audit_trail.h"

namespace {

namespace tt = toolkit_testing;
using Clock = std::chrono::system_clock;
using Rows = std::vector<std::vector<std::string>>;
constexpr Outcome OK = Outcome::OK;
constexpr Outcome NG = Outcome::NG;

Rows Query(const std::string& sql) {
    return QueryFile(sql);
}

// A station in a fresh folder with `ini` as its "station.ini".
class Station {
  public:
    explicit Station(const std::string& ini) {
        WriteWholeFile(dir_.File("station.ini"), ini);
        tt::ScriptPopups(true);
        tt::ClearShownPopups();
        settings::StartSettings();
        history::Start({});
        gates::Start({});
    }
    ~Station() {
        history::Stop();
        settings::StopSettings();
        trail::StopTrail();
        tt::ClearShownPopups();
    }

    // One start through the gates and, when it goes, its cycle recorded with `outcome` (and with
    // readings, for an `area` of 0 or more).
    gates::Admission Cycle(const std::string& serial, Outcome outcome, Clock::duration ago = {},
                           const std::string& master = "M-01", const std::string& version = "v1",
                           int area = -1) {
        // Each start a millisecond of its own, as the records' times are kept to the millisecond.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const Clock::time_point at = Clock::now() - ago;
        const gates::Admission admission = gates::Admit({serial, master, version, at});
        if (admission.go) {
            Inspection inspection =
                area < 0
                    ? Inspection{}
                    : SampleInspection(0, at, SampleSetup("03", 4.5, 5, 10, 20), area, 3, outcome);
            inspection.started_at = inspection.ended_at = at;
            inspection.serial = serial;
            inspection.master = master;
            inspection.master_version = version;
            inspection.outcome = outcome;
            inspection.attempt = admission.attempt;
            inspection.reference = admission.reference;
            gates::AfterCycle(inspection, history::Record(inspection), wave);
        }
        return admission;
    }

    // The warnings shown since the last call, each its text.
    std::vector<std::string> Warnings() {
        std::vector<std::string> texts;
        for (const auto& popup : tt::ShownPopups()) {
            if (popup.kind == tt::PopupKind::MESSAGE) {
                texts.push_back(popup.text);
            }
        }
        tt::ClearShownPopups();
        return texts;
    }

    WaveOpinion wave;  // the station's opinion of the waves of the cycles from now on

  private:
    ScopedWorkDir dir_;
};

struct UnitTest {
    std::string serial;
    Outcome outcome;
    int days_ago = 0;
};

TEST(DefinitionsTest, AttemptsAndTodaysFiguresOfEachSequence) {
    const auto day = std::chrono::hours(24);
    const struct Case {
        const char* what;
        const char* ini;
        std::vector<UnitTest> tests;
        std::vector<int> attempts;  // of the tests that went; 0 for a refused start
        history::Counts today;
        history::UnitCounts units;
        std::string first_pass;
    } cases[] = {
        {"O.K", "", {{"A", OK}}, {1}, {1, 1, 0, 1, 1}, {1, 1, 0}, "100.0 %"},
        {"N.G O.K", "", {{"A", NG}, {"A", OK}}, {1, 2}, {2, 1, 1, 1, 0}, {1, 1, 1}, "0.0 %"},
        {"N.G N.G O.K",
         "",
         {{"A", NG}, {"A", NG}, {"A", OK}},
         {1, 2, 3},
         {3, 1, 2, 1, 0},
         {1, 1, 1},
         "0.0 %"},
        {"N.G x4 with a limit of 3",
         "[retest]\nenabled=true\n",
         {{"A", NG}, {"A", NG}, {"A", NG}, {"A", NG}},
         {1, 2, 3, 0},
         {3, 0, 3, 1, 0},
         {1, 0, 0},
         "0.0 %"},
        {"no serial", "", {{"", NG}, {"", OK}}, {1, 1}, {2, 1, 1, 2, 1}, {2, 1, 0}, "50.0 %"},
        {"tested again after the window",
         "",
         {{"A", NG, 31}, {"A", OK}},
         {1, 1},
         {1, 1, 0, 1, 1},
         {1, 1, 0},
         "100.0 %"},
        {"a window of 40 days",
         "[units]\nwindow_days=40\n",
         {{"A", NG, 31}, {"A", OK}},
         {1, 2},
         {1, 1, 0, 0, 0},
         {1, 1, 0},
         "-"},
        {"first tested yesterday",
         "",
         {{"B", NG, 1}, {"B", OK}},
         {1, 2},
         {1, 1, 0, 0, 0},
         {1, 1, 0},
         "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Station station(c.ini);
        std::vector<int> attempts;
        for (const UnitTest& t : c.tests) {
            const gates::Admission admission = station.Cycle(t.serial, t.outcome, day * t.days_ago);
            attempts.push_back(admission.go ? admission.attempt : 0);
        }
        EXPECT_EQ(attempts, c.attempts);
        const std::string today = QDate::currentDate().toString(Qt::ISODate).toStdString();
        history::Filter filter;
        filter.from = filter.to = today;
        history::Counts counts;
        history::UnitCounts units;
        long long records = 0;
        history::Reader reader;
        ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
        ASSERT_TRUE(history::CountRecords(reader, filter, &counts, &records));
        ASSERT_TRUE(history::CountUnits(reader, filter, &units));
        history::CloseReader(reader);
        EXPECT_EQ((std::vector<long long>{counts.tested, counts.ok, counts.ng, counts.first,
                                          counts.first_ok}),
                  (std::vector<long long>{c.today.tested, c.today.ok, c.today.ng, c.today.first,
                                          c.today.first_ok}));
        EXPECT_EQ(
            (std::vector<long long>{units.units, units.final_ok, units.passed_on_retest}),
            (std::vector<long long>{c.units.units, c.units.final_ok, c.units.passed_on_retest}));
        EXPECT_EQ(history::FirstPassText(counts), c.first_pass);
    }
}

TEST(GatesTest, TheRetestLimitSendsTheUnitToReworkUnlessAnEngineerOverrides) {
    Station station("[retest]\nenabled=true\nmax_attempts=2\n");
    EXPECT_TRUE(station.Cycle("A", NG).go);
    EXPECT_TRUE(station.Cycle("A", NG).go);
    EXPECT_FALSE(station.Cycle("A", OK).go);
    const auto warnings = station.Warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("재작업"), std::string::npos) << warnings[0];
    EXPECT_TRUE(station.Cycle("B", OK).go);
    tt::QueuePromptAnswer("권선 재확인 후 재검사");
    const gates::Admission overridden = station.Cycle("A", OK);
    EXPECT_TRUE(overridden.go);
    EXPECT_EQ(overridden.attempt, 3);
    EXPECT_EQ(Query("SELECT action, object, before_value, reason FROM audit WHERE action = "
                    "'gate overridden'"),
              (Rows{{"gate overridden", "retest A", "2 회 N.G", "권선 재확인 후 재검사"}}));
}

TEST(GatesTest, TheLineStopsPerMasterUntilAnEngineerAcknowledges) {
    Station station("[line_stop]\nenabled=true\nin_a_row=3\nng_of_last=3\nof_last=6\n");
    const struct Step {
        const char* master;
        Outcome outcome;
        const char* note;  // the engineer's note when the start is refused; "" cancels
        bool go;
        std::string warning;  // a part of the warning shown, or "" for none
    } steps[] = {
        {"M-01", NG, "", true, ""},
        {"M-01", NG, "", true, ""},
        {"M-01", NG, "", true, ""},
        {"M-01", OK, "", false, "M-01 N.G 3 회 연속"},
        {"M-02", NG, "", true, ""},
        {"M-01", OK, "코일 교체", true, "M-01 N.G 3 회 연속"},
        {"M-01", NG, "", true, ""},
        {"M-01", OK, "", true, ""},
        {"M-01", NG, "", true, ""},
        {"M-01", NG, "", true, ""},
        {"M-01", OK, "", false, "최근 4 개 중 N.G 3 개"},
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(++n);
        if (*step.note != '\0') {
            tt::QueuePromptAnswer(step.note);
        }
        EXPECT_EQ(station.Cycle("S" + std::to_string(n), step.outcome, {}, step.master).go,
                  step.go);
        const auto warnings = station.Warnings();
        EXPECT_EQ(warnings.size(), step.warning.empty() ? 0u : 1u);
        if (!warnings.empty()) {
            EXPECT_NE(warnings[0].find(step.warning), std::string::npos) << warnings[0];
        }
    }
    EXPECT_EQ(Query("SELECT object, before_value, reason FROM audit WHERE action = "
                    "'line stop acknowledged'"),
              (Rows{{"M-01", "N.G 3 회 연속", "코일 교체"}}));
}

TEST(GatesTest, ALineStopAcknowledgedStaysAcknowledgedAfterARestart) {
    Station station("[line_stop]\nenabled=true\n");
    for (int n = 0; n < 3; ++n) {
        station.Cycle("N" + std::to_string(n), NG);
    }
    tt::QueuePromptAnswer("코일 교체");
    EXPECT_TRUE(station.Cycle("A", OK).go);
    gates::Start({});
    EXPECT_TRUE(station.Cycle("B", OK).go);
    EXPECT_EQ(station.Warnings().size(), 1u);
}

// A row put at the trail's end by hand (its hash is no matter to the gates), at `ago` before now.
void AppendRow(const char* action, const char* code, const std::string& rule, Clock::duration ago) {
    const std::string at = records::IsoTime(Clock::now() - ago).toStdString();
    Query(
        "INSERT INTO audit (seq, at, station, user_name, role, action, code, object, "
        "before_value, after_value, reason, prev_hash, hash) SELECT MAX(seq) + 1, '" +
        at + "', 'S', 'kim', 'engineer', '" + action + "', '" + code + "', 'M-01', '', '" + rule +
        "', '', '', '' FROM audit");
}

TEST(GatesTest, AStopIsReadByItsCodeAndHoldsAgainstRowsOutOfTheTrailsTimeOrder) {
    const auto year = std::chrono::hours(24 * 365 * 100);
    const auto minutes = std::chrono::minutes(10);
    const struct {
        const char* what;
        const char* ini;
        const char* action;  // the row put at the trail's end
        const char* code;
        const char* rule;
        Clock::duration ago;
        bool go;  // the next start, after a restart
    } cases[] = {
        {"three N.G, then an acknowledgement far in the future", "[line_stop]\nenabled=true\n",
         "line stop acknowledged", "ng", "", -year, false},
        {"three N.G, then an acknowledgement long before the row before it",
         "[line_stop]\nenabled=true\n", "line stop acknowledged", "ng", "", minutes, false},
        {"three N.G, then an acknowledgement of an earlier station, without a code",
         "[line_stop]\nenabled=true\n",
         "line stop acknowledged",
         "",
         "",
         {},
         true},
        {"a wrong reference verdict's stop, its text reworded",
         "[reference]\nenabled=true\n",
         "line stopped",
         "reference",
         "아무 말",
         {},
         false},
        {"a drift's stop, where a drift does not stop the line",
         "[reference]\nenabled=true\n",
         "line stopped",
         "drift",
         "추세",
         {},
         true},
        {"a stop of an earlier station, without a code",
         "[retest]\nenabled=true\n"
         "[reference]\nenabled=true\n",
         "line stopped",
         "",
         "옛 정지",
         {},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Station station(c.ini);
        for (int n = 0; n < 3; ++n) {
            station.Cycle("N" + std::to_string(n), NG);
        }
        AppendRow(c.action, c.code, c.rule, c.ago);
        gates::Start({});
        EXPECT_EQ(station.Cycle("A", OK).go, c.go);
    }
}

TEST(GatesTest, AReferenceCheckPassedInThisShiftStaysPassedAfterARestart) {
    Station station("[reference]\nenabled=true\nunits=M-01: R-1 O.K, R-2 N.G\n");
    EXPECT_TRUE(station.Cycle("R-1", OK).go);
    EXPECT_TRUE(station.Cycle("R-2", NG).go);
    gates::Start({});
    EXPECT_TRUE(station.Cycle("P-1", OK).go);
    EXPECT_FALSE(station.Cycle("P-2", OK, {}, "M-01", "v2").go);
    EXPECT_EQ(station.Warnings().size(), 1u);
}

TEST(GatesTest, ProductionWaitsForTheReferenceUnitsAndAWrongVerdictStopsTheLine) {
    Station station(
        "[reference]\nenabled=true\nunits=M-01: R-1 O.K, R-2 N.G\n"
        "[line_stop]\nenabled=false\n");
    const struct Step {
        const char* what;
        const char* serial;
        Outcome outcome;
        const char* version;
        const char* reason;  // the engineer's reason when refused; "" cancels
        bool go;
        std::string warning;
        bool restart = false;  // the station restarted before it
    } steps[] = {
        {"production first", "P-1", OK, "v1", "", false, "기준품 확인 필요: R-1 (O.K), R-2 (N.G)"},
        {"the good unit", "R-1", OK, "v1", "", true, ""},
        {"production before the bad unit", "P-1", OK, "v1", "", false, "R-2 (N.G)"},
        {"the bad unit", "R-2", NG, "v1", "", true, ""},
        {"production", "P-1", OK, "v1", "", true, ""},
        {"the master changed", "P-2", OK, "v2", "", false, "기준품 확인 필요"},
        {"overridden", "P-2", OK, "v2", "기준품 파손, 교체 중", true, "기준품 확인 필요"},
        {"the good unit judged bad", "R-1", NG, "v2", "", true, ""},
        {"production after it", "P-3", OK, "v2", "", false, "기준품 R-1 판정 N.G"},
        {"after a restart", "P-3", OK, "v2", "", false, "기준품 R-1 판정 N.G", true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.restart) {
            gates::Start({});
        }
        if (*step.reason != '\0') {
            tt::QueuePromptAnswer(step.reason);
        }
        EXPECT_EQ(station.Cycle(step.serial, step.outcome, {}, "M-01", step.version).go, step.go);
        const auto warnings = station.Warnings();
        EXPECT_EQ(warnings.size(), step.warning.empty() ? 0u : 1u);
        if (!warnings.empty()) {
            EXPECT_NE(warnings[0].find(step.warning), std::string::npos) << warnings[0];
        }
    }
    EXPECT_EQ(Query("SELECT serial, reference, attempt FROM inspection ORDER BY id"),
              (Rows{{"R-1", "1", "1"},
                    {"R-2", "1", "1"},
                    {"P-1", "0", "1"},
                    {"P-2", "0", "1"},
                    {"R-1", "1", "2"}}));
    EXPECT_EQ(Query("SELECT object, reason FROM audit WHERE action = 'gate overridden'"),
              (Rows{{"reference M-01", "기준품 파손, 교체 중"}}));
}

TEST(GatesTest, ADriftStopsTheLineWhereSetSoUntilAnEngineerNotesTheReaction) {
    Station station("[drift]\nline_stop=true\n");
    for (int k = 0; k < 25; ++k) {
        ASSERT_TRUE(station.Cycle("B-" + std::to_string(k), OK, {}, "M-01", "v1", 4 + k % 3).go);
    }
    enum Restart { NONE, GATES, STATION };
    const struct Step {
        const char* what;
        int area;
        const char* note;  // the engineer's note when refused; "" cancels
        bool go;
        const char* warning;
        Restart restart = NONE;  // before it
        int times = 1;
    } steps[] = {
        {"far above: the cycle ends, the line stops", 15, "", true, ""},
        {"refused, cancelled", 4, "", false, "라인 정지: M-01 추세 경고 면적 규칙 1"},
        {"after a restart", 4, "", false, "라인 정지: M-01 추세 경고 면적 규칙 1", GATES},
        {"acknowledged with the reaction", 6, "동선 롯트 교체", true, "추세 경고 면적 규칙 1"},
        {"a little above, five more", 6, "", true, "", NONE, 5},
        {"and after the station restarted", 6, "", true, "", STATION},
        // The far one and seven a little above would be rule 4, had it counted.
        {"the readings before the acknowledgement count for nothing", 4, "", true, ""},
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.restart == STATION) {
            history::Stop();
            history::Start({});
        }
        if (step.restart != NONE) {
            gates::Start({});
        }
        for (int k = 0; k < step.times; ++k) {
            if (*step.note != '\0') {
                tt::QueuePromptAnswer(step.note);
            }
            EXPECT_EQ(station.Cycle("D-" + std::to_string(n++), OK, {}, "M-01", "v1", step.area).go,
                      step.go);
            const auto warnings = station.Warnings();
            ASSERT_EQ(warnings.size(), *step.warning == '\0' ? 0u : 1u);
            if (!warnings.empty()) {
                EXPECT_NE(warnings[0].find(step.warning), std::string::npos) << warnings[0];
            }
        }
    }
    EXPECT_EQ(
        Query("SELECT action, object, before_value, after_value, reason FROM audit WHERE"
              " action LIKE 'line stop%' ORDER BY seq"),
        (Rows{{"line stopped", "M-01", "", "추세 경고 면적 규칙 1", ""},
              {"line stop acknowledged", "M-01", "추세 경고 면적 규칙 1", "", "동선 롯트 교체"}}));
}

TEST(GatesTest, AUnitPassedButFlaggedForItsWaveIsHeldWhereSetSoUntilAnEngineerReleasesIt) {
    const WaveOpinion flagged{1.0, 1.0, 9.0, 9.0, 0.1, true, "frequency", "주파수 +1.2 %"};
    const char* held = "파형 보류: W-4 주파수 +1.2 % (M-01)";
    const struct {
        const char* ini;  // a new station before it
        Outcome outcome;
        bool flagged, restart;
        const char* note;  // the engineer's reason when refused; "" cancels
        bool go;
        const char* warning;
    } steps[] = {{"", OK, true, false, "", true, ""},
                 {nullptr, OK, false, false, "", true, ""},
                 {"[wave]\nhold=true\n", OK, false, false, "", true, ""},
                 {nullptr, NG, true, false, "", true, ""},
                 {nullptr, OK, true, false, "", true, ""},
                 {nullptr, OK, false, false, "", false, held},
                 {nullptr, OK, false, true, "", false, held},
                 {nullptr, OK, false, false, "재측정 양품", true, held},
                 {nullptr, OK, false, true, "", true, ""}};
    std::optional<Station> station;
    int n = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(n);
        if (step.ini != nullptr) {
            station.reset();
            station.emplace(step.ini);
        }
        if (step.restart) {
            history::Stop();
            history::Start({});
            gates::Start({});
        }
        if (*step.note != '\0') {
            tt::QueuePromptAnswer(step.note);
        }
        station->wave = step.flagged ? flagged : WaveOpinion{};
        EXPECT_EQ(station->Cycle("W-" + std::to_string(n++), step.outcome).go, step.go);
        const auto warnings = station->Warnings();
        EXPECT_EQ(warnings.empty() ? "" : warnings[0].substr(0, warnings[0].find(".\n")),
                  step.warning);
    }
    EXPECT_EQ(Query("SELECT action, code, before_value, after_value, reason FROM audit WHERE "
                    "action LIKE 'line stop%' ORDER BY seq"),
              (Rows{{"line stopped", "wave", "", "W-4 주파수 +1.2 %", ""},
                    {"line stop acknowledged", "wave", "W-4 주파수 +1.2 %", "", "재측정 양품"}}));
}

TEST(GatesTest, WithoutAHistoryTheStripSaysTheGatesCannotHold) {
    setenv("SURGE_HISTORY", "off", 1);
    ScopedWorkDir dir;
    WriteWholeFile(dir.File("station.ini"), "[line_stop]\nenabled=true\n");
    Register_callbacks();
    const int panel = LoadPanel(0, SURGE_UIR, MAIN);
    ASSERT_GT(panel, 0);
    settings::StartSettings();
    history::Start({});
    gates::Start({panel, MAIN_GATE, MAIN_GATE_NOTE});
    gates::Show("M-01", "");
    char text[256] = {0};
    GetCtrlVal(panel, MAIN_GATE, text);
    EXPECT_EQ(std::string(text), "검사 이력 없음: 검사 조건을 확인할 수 없음");
    history::Stop();
    settings::StopSettings();
    trail::StopTrail();
    gates::Start({});
    DiscardPanel(panel);
    unsetenv("SURGE_HISTORY");
}

TEST(GatesTest, ASettingsFileTurnsTheGatesOnWithTheirValuesAndTellsAValueItCannotTake) {
    const struct {
        const char* ini;
        std::vector<std::string> keys;  // what the settings in force write, or the problem
    } cases[] = {
        {"[retest]\nenabled=true\n[reference]\nshifts=07:00, 19:00\nunits=M-01: R-1 O.K\n",
         {"retest/enabled=true", "retest/max_attempts=3", "reference/units=M-01: R-1 O.K",
          "reference/shifts=07:00, 19:00"}},
        {"[reference]\nunits=M-01: R-1 O.K | M-02: R-9 N.G, R-8 O.K\n",
         {"reference/units=M-01: R-1 O.K | M-02: R-9 N.G, R-8 O.K"}},
        {"[reference]\nshifts=19:00, 07:00\n", {"reference/shifts = 19:00, 07:00"}},
        {"[reference]\nunits=M-01: R-1 OK\n", {"reference/units = M-01: R-1 OK"}},
        {"[line_stop]\nng_of_last=11\n", {"line_stop/ng_of_last = 11"}},
        {"[drift]\nwave=true\n", {"drift/wave=true"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        Station station(c.ini);
        const auto warnings = station.Warnings();
        std::string written;
        for (const auto& key : settings::SettingsAsKeys(settings::Settings())) {
            written += key.key + "=" + key.value + "\n";
        }
        for (const std::string& key : c.keys) {
            const bool problem = key.find(" = ") != std::string::npos;
            if (problem) {
                ASSERT_EQ(warnings.size(), 1u);
                EXPECT_NE(warnings[0].find(key), std::string::npos) << warnings[0];
            } else {
                EXPECT_TRUE(warnings.empty());
                EXPECT_NE(written.find(key + "\n"), std::string::npos) << written;
            }
        }
    }
}

// With [history] required no start goes while a record cannot be written: the history off, or a
// record waiting in memory while another program holds the file. Once the file is free the start
// writes what waited first. Without the setting the line runs on, as always.
TEST(GatesTest, APlantThatRequiresTheRecordStartsNoTestWhileOneCannotBeWritten) {
    const struct Case {
        const char* what;
        const char* ini;
        bool history_off;
        std::vector<bool> went;  // the starts: one, then two with the file locked, one freed
        const char* warning;
        const char* records;
    } cases[] = {
        {"required, history off",
         "[history]\nrequired=true\n",
         true,
         {false, false, false, false},
         "SURGE_HISTORY=off",
         ""},
        {"required, the file locked",
         "[history]\nrequired=true\n",
         false,
         {true, true, false, true},
         "기록하지 못한 검사 이력이 1 건",
         "3"},
        {"not required, the file locked", "", false, {true, true, true, true}, "", "4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.history_off) {
            setenv("SURGE_HISTORY", "off", 1);
        }
        {
            Station station(c.ini);
            std::vector<bool> went;
            went.push_back(station.Cycle("A-1", OK).go);
            QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
            locker.setDatabaseName(records::DATABASE_FILE);
            ASSERT_TRUE(locker.open());
            ASSERT_TRUE(QSqlQuery(locker).exec("BEGIN EXCLUSIVE") || c.history_off);
            went.push_back(station.Cycle("A-2", OK).go);
            went.push_back(station.Cycle("A-3", OK).go);
            QSqlQuery(locker).exec("ROLLBACK");
            locker.close();
            went.push_back(station.Cycle("A-4", OK).go);
            tt::RunDeferredCalls();  // the catch-up after a cycle
            EXPECT_EQ(went, c.went);
            std::string warnings;
            for (const std::string& text : station.Warnings()) {
                warnings += text + "\n";
            }
            EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
            const Rows rows = c.history_off ? Rows{} : Query("SELECT COUNT(*) FROM inspection");
            EXPECT_EQ(rows.empty() ? "" : rows[0][0], c.records);
        }
        QSqlDatabase::removeDatabase("locker");
        unsetenv("SURGE_HISTORY");
    }
}

}  // namespace
