// The process views' reads of the station's file: a master's production tests in time order with
// its newest version, the version's first tests, the N.G Pareto by units, what was tested.
#include <gtest/gtest.h>

#include "history/process_query.h"
#include "history/report_query.h"
#include "process/control_chart.h"
#include "tests/process/process_fixture.h"
#include "tests/support/work_dir.h"

namespace {

history::Filter Period(const char* from_at, const char* to_at, const char* master = "") {
    history::Filter filter;
    filter.from_at = from_at;
    filter.to_at = to_at;
    filter.master = master;
    return filter;
}

class ProcessReadTest : public ::testing::Test {
  protected:
    ScopedWorkDir dir;
    history::Reader reader;
    void TearDown() override { history::CloseReader(reader); }
};

TEST_F(ProcessReadTest, TheSeriesIsTheMastersTestsWithReadingsOldestFirst) {
    FillProcess({
        {"2026-12-08T23:00:00", "A", "M-01", "O.K", 1, 1, 20, "v1"},  // before the period
        {"2026-12-09T06:02:00", "B", "M-01", "N.G", 7, 2, 20, "v1"},
        {"2026-12-09T06:01:00", "C", "M-01", "O.K", 3, 4, 20, "v1"},
        {"2026-12-09T06:03:00", "D", "M-02", "O.K", 9, 9, 20, "v1"},  // another master
        {"2026-12-09T06:04:00", "E", "M-01", "incomplete", 0, 0, 20, "v1"},
        {"2026-12-09T06:05:00", "F", "M-01", "O.K", 5, 6, 15, "v2"},
        {"2026-12-09T14:00:00", "G", "M-01", "O.K", 8, 8, 15, "v2"},  // the next shift
    });
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    std::vector<history::SeriesPoint> series;
    std::string version;
    ASSERT_TRUE(history::ReadSeries(
        reader, Period("2026-12-09T06:00:00", "2026-12-09T14:00:00", "M-01"), &series, &version));
    EXPECT_EQ(version, "v2");
    std::vector<int> areas, judges;
    for (const history::SeriesPoint& point : series) {
        areas.push_back(point.area);
        judges.push_back(point.judge);
    }
    EXPECT_EQ(areas, (std::vector<int>{3, 7, 5}));
    EXPECT_EQ(judges, (std::vector<int>{20, 20, 15}));
    EXPECT_EQ(series.front().at, history::SecondsOfWallClock("2026-12-09T06:01:00"));

    std::vector<history::SeriesPoint> baseline;
    ASSERT_TRUE(history::ReadBaseline(reader, "M-01", "v1", 2, &baseline));
    ASSERT_EQ(baseline.size(), 2u);
    EXPECT_EQ(baseline[0].area, 1);  // the version's first test, before the period
    EXPECT_EQ(baseline[1].area, 3);
}

TEST_F(ProcessReadTest, TheDefaultBaselineIsTheNewestVersionsFirstTests) {
    std::vector<ProcessRecord> records;
    for (int k = 0; k < 40; ++k) {
        records.push_back({MinuteAfterSix(k), "S" + std::to_string(k), "M-01", "O.K",
                           k < 30 ? 10 + k % 2 * 2 : 30, 5, 40, k < 5 ? "v1" : "v2"});
    }
    FillProcess(records);
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    process::Chart chart;
    ASSERT_TRUE(process::ReadChart(reader,
                                   Period("2026-12-09T06:00:00", "2026-12-09T14:00:00", "M-01"),
                                   process::Baseline::FIRST_TESTS, &chart));
    EXPECT_EQ(chart.version, "v2");
    EXPECT_EQ(chart.count, 40u);
    EXPECT_EQ(chart.area.limits.count, 25u);  // v2's records 5..29
    EXPECT_NEAR(chart.area.limits.centre, (13 * 12 + 12 * 10) / 25.0, 1e-9);
    ASSERT_FALSE(chart.area.signalled.empty());
    EXPECT_EQ(chart.area.signalled.front().index, 30u);  // the first 30: rule 1
    EXPECT_TRUE(chart.area.signalled.front().rules.Has(quality::Rule::BEYOND_3_SIGMA));
}

TEST_F(ProcessReadTest, TheParetoCountsEachNgUnitOnceLargestFirst) {
    FillProcess({
        {"2026-12-09T06:10:00", "A", "M-01", "N.G", 1, 1, 20, "v1", "kim", "line-1"},
        {"2026-12-09T06:20:00", "A", "M-01", "N.G", 1, 1, 20, "v1", "kim", "line-1"},
        {"2026-12-09T07:10:00", "B", "M-02", "N.G", 1, 1, 20, "v1", "lee", "line-2"},
        {"2026-12-09T07:20:00", "C", "M-02", "N.G", 1, 1, 20, "v1", "lee", "line-2"},
        {"2026-12-09T07:30:00", "", "M-02", "N.G", 1, 1, 20, "v1", "lee", "line-2"},
        {"2026-12-09T07:40:00", "", "M-02", "N.G", 1, 1, 20, "v1", "kim", "line-1"},
        {"2026-12-09T07:50:00", "D", "M-01", "O.K", 1, 1, 20, "v1", "kim", "line-1"},
        {"2026-12-09T08:00:00", "E", "M-03", "incomplete", 0, 0, 20, "v1", "kim", "line-1"},
    });
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    history::Pareto pareto;
    ASSERT_TRUE(
        history::ReadPareto(reader, Period("2026-12-09T06:00:00", "2026-12-09T14:00:00"), &pareto));
    EXPECT_EQ(pareto.ng_units, 5);  // A once, B, C, and the two without a serial
    const auto bars = [](const std::vector<history::ParetoBar>& of) {
        std::vector<std::pair<std::string, long long>> got;
        for (const history::ParetoBar& bar : of) {
            got.push_back({bar.label, bar.units});
        }
        return got;
    };
    using Bars = std::vector<std::pair<std::string, long long>>;
    EXPECT_EQ(bars(pareto.by[0]), (Bars{{"M-02", 4}, {"M-01", 1}}));
    EXPECT_EQ(bars(pareto.by[1]), (Bars{{"line-2", 3}, {"line-1", 2}}));
    EXPECT_EQ(bars(pareto.by[2]), (Bars{{"07:00", 4}, {"06:00", 1}}));
    EXPECT_EQ(bars(pareto.by[3]), (Bars{{"lee", 3}, {"kim", 2}}));

    std::vector<history::MasterTested> masters;
    std::vector<std::string> operators, stations;
    ASSERT_TRUE(history::ReadMastersTested(reader,
                                           Period("2026-12-09T06:00:00", "2026-12-09T14:00:00"),
                                           &masters, &operators, &stations));
    ASSERT_EQ(masters.size(), 2u);  // the incomplete cycle tested nothing
    EXPECT_EQ(masters[0].master, "M-01");
    EXPECT_EQ(masters[0].counts.tested, 3);
    EXPECT_EQ(masters[0].counts.ng, 2);
    EXPECT_EQ(masters[1].counts.tested, 4);
    EXPECT_EQ(operators, (std::vector<std::string>{"kim", "lee"}));
    EXPECT_EQ(stations, (std::vector<std::string>{"line-1", "line-2"}));
}

TEST_F(ProcessReadTest, TheGatesEventsAreThePeriodsAndTheMastersOwn) {
    FillProcess(
        {{"2026-12-09T06:10:00", "A", "M-01", "N.G"}, {"2026-12-09T06:20:00", "B", "M-02", "N.G"}},
        {{"2026-12-09T05:59:00", "line stopped", "M-01", "", "N.G 3 회 연속", ""},
         {"2026-12-09T06:30:00", "line stop acknowledged", "M-01", "N.G 3 회 연속", "",
          "권선기 점검"},
         {"2026-12-09T06:40:00", "gate overridden", "retest A", "3 회 N.G", "", "a"},
         {"2026-12-09T06:41:00", "gate overridden", "retest B", "3 회 N.G", "", "b"},
         {"2026-12-09T06:42:00", "gate overridden", "reference M-02", "R-1", "", "c"},
         {"2026-12-09T06:43:00", "master saved", "M-01", "", "", ""}});
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    const struct {
        const char* master;
        std::vector<std::string> objects_and_rules;
    } cases[] = {
        {"",
         {"M-01 N.G 3 회 연속", "retest A 3 회 N.G", "retest B 3 회 N.G", "reference M-02 R-1"}},
        {"M-01", {"M-01 N.G 3 회 연속", "retest A 3 회 N.G"}},
        {"M-02", {"retest B 3 회 N.G", "reference M-02 R-1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.master);
        std::vector<history::GateEvent> events;
        ASSERT_TRUE(history::ReadGateEvents(
            reader, Period("2026-12-09T06:00:00", "2026-12-09T14:00:00", c.master), &events));
        std::vector<std::string> got;
        for (const history::GateEvent& event : events) {
            got.push_back(event.object + " " + event.rule);
        }
        EXPECT_EQ(got, c.objects_and_rules);
    }
}

}  // namespace
