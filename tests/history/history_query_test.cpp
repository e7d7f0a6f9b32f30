// Reading the history: a filter's counts and pages newest first, paging, the trend's sample and
// files that are missing or not a database.
#include <set>

#include "tests/history/reader_fixture.h"
#include "tests/support/file_rows.h"

using history::Filter;

namespace {

// ids 1..8 in time order over three days, two masters, serial "A7" tested twice.
const std::vector<TestRecord> RECORDS = {
    {"2026-12-01T08:00:00", "A1", "모터", "O.K", 10, 11},
    {"2026-12-01T23:59:59", "A2", "모터", "N.G", 30, 31},
    {"2026-12-02T00:00:00", "A7", "FAN", "O.K", 12, 13},
    {"2026-12-02T12:00:00", "A4", "FAN", "incomplete"},
    {"2026-12-03T09:00:00", "A7", "모터", "N.G", 40, 41},
    {"2026-12-03T09:00:00", "A6", "모터", "O.K", 14, 15},
    {"2026-12-03T17:00:00", "A8", "FAN", "O.K", 16, 17},
    {"2026-12-04T00:00:00", "A9", "FAN", "O.K", 18, 19},
};

std::vector<long long> Ids(const std::vector<history::ListedRecord>& page) {
    std::vector<long long> ids;
    for (const auto& r : page) {
        ids.push_back(r.id);
    }
    return ids;
}

Filter Refused(Filter filter) {
    filter.refused = true;
    return filter;
}

Filter Flagged(Filter filter) {
    filter.wave_alarm = true;
    return filter;
}

}  // namespace

TEST_F(ReaderTest, AFilterCountsAndListsItsRecordsNewestFirst) {
    Fill(RECORDS, {2, 5});
    QueryFile("UPDATE inspection_record SET wave_alarm = (id IN (3, 6)) WHERE id <> 4",
              records::DATABASE_FILE);
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    struct Case {
        Filter filter;
        history::Counts counts;
        std::vector<long long> ids;
    } cases[] = {
        {Days("2026-12-01", "2026-12-03"), {6, 4, 2}, {7, 6, 5, 4, 3, 2, 1}},
        {Days("2026-12-04", "2026-12-04"), {1, 1, 0}, {8}},
        {Days("2026-12-02", "2026-12-02"), {1, 1, 0}, {4, 3}},
        {Days("2026-12-01", "2026-12-04", "모터"), {4, 2, 2}, {6, 5, 2, 1}},
        {Days("2026-12-01", "2026-12-04", "", "A7"), {2, 1, 1}, {5, 3}},
        {Days("2026-12-01", "2026-12-04", "FAN", "A7"), {1, 1, 0}, {3}},
        {Days("2026-12-01", "2026-12-04", "", "", Outcome::NG), {2, 0, 2}, {5, 2}},
        {Days("2026-12-01", "2026-12-04", "FAN", "", Outcome::INCOMPLETE), {0, 0, 0}, {4}},
        {Days("2026-12-05", "2026-12-31"), {0, 0, 0}, {}},
        {Days("2026-12-01", "2026-12-04", "모", ""), {0, 0, 0}, {}},
        {Refused(Days("2026-12-01", "2026-12-04")), {2, 0, 2}, {5, 2}},
        {Refused(Days("2026-12-01", "2026-12-04", "모터", "A7")), {1, 0, 1}, {5}},
        {Refused(Days("2026-12-03", "2026-12-04", "FAN")), {0, 0, 0}, {}},
        {Flagged(Days("2026-12-01", "2026-12-04")), {2, 2, 0}, {6, 3}},
        {Flagged(Days("2026-12-01", "2026-12-04", "모터")), {1, 1, 0}, {6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter.from + ".." + c.filter.to + " " + c.filter.master + " " +
                     c.filter.serial);
        history::Counts counts;
        long long records = 0;
        ASSERT_TRUE(history::CountRecords(reader, c.filter, &counts, &records));
        EXPECT_EQ(records, static_cast<long long>(c.ids.size()));
        EXPECT_EQ(counts.tested, c.counts.tested);
        EXPECT_EQ(counts.ok, c.counts.ok);
        EXPECT_EQ(counts.ng, c.counts.ng);
        std::vector<history::ListedRecord> page;
        ASSERT_TRUE(history::FetchPage(reader, c.filter, nullptr, 20, &page));
        EXPECT_EQ(Ids(page), c.ids);
    }
    history::Counts counts;
    long long records = 0;
    EXPECT_FALSE(
        history::CountRecords(reader, Days("2026-12-04", "2026-12-01"), &counts, &records));
    std::string refusal, none;
    ASSERT_TRUE(history::FetchRefusal(reader, 5, &refusal) &&
                history::FetchRefusal(reader, 6, &none));
    EXPECT_EQ(refusal, "2026-12-05 10:00:00 서버 거부: value too long");
    EXPECT_EQ(none, "");
}

TEST_F(ReaderTest, PagesWalkEveryRecordOnceThroughEqualTimes) {
    std::vector<TestRecord> records;
    for (int i = 0; i < 23; ++i) {
        records.push_back({"2026-12-01T10:00:0" + std::to_string(i / 4), "S", "M", "O.K", 1, 1});
    }
    Fill(records);
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    const Filter all = Days("2026-12-01", "2026-12-01");
    std::vector<long long> seen;
    history::PageKey key;
    std::vector<history::ListedRecord> page;
    for (const history::PageKey* after = nullptr;; after = &key) {
        ASSERT_TRUE(history::FetchPage(reader, all, after, 5, &page));
        if (page.empty()) {
            break;
        }
        for (const auto& r : page) {
            seen.push_back(r.id);
        }
        key = {page.back().started_at, page.back().id};
    }
    std::vector<long long> newest_first;
    for (long long id = 23; id >= 1; --id) {
        newest_first.push_back(id);
    }
    EXPECT_EQ(seen, newest_first);
}

TEST_F(ReaderTest, TheTrendSamplesReadingsAcrossTheDays) {
    std::vector<TestRecord> records;
    for (int day = 1; day <= 9; ++day) {
        for (int hour = 0; hour < 24; ++hour) {
            char when[32];
            std::snprintf(when, sizeof when, "2026-12-%02dT%02d:30:00", day, hour);
            records.push_back({when, "S", "M", hour == 5 ? "incomplete" : "O.K", day, hour});
        }
    }
    Fill(records);
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    struct Case {
        Filter filter;
        int points;
        std::size_t expected;
    } cases[] = {
        {Days("2026-12-02", "2026-12-02"), 50, 23},  // fewer records than points: all with readings
        {Days("2026-12-01", "2026-12-09"), 36, 36},  // one per slice of six hours
        {Days("2026-12-01", "2026-12-18"), 36, 18},  // the empty second half gives no points
        {Days("2026-12-10", "2026-12-18"), 36, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter.from + ".." + c.filter.to);
        history::Counts counts;
        long long records = 0;
        ASSERT_TRUE(history::CountRecords(reader, c.filter, &counts, &records));
        std::vector<history::TrendPoint> trend;
        ASSERT_TRUE(history::SampleTrend(reader, c.filter, records, c.points, &trend));
        EXPECT_EQ(trend.size(), c.expected);
        const int days = history::DaysBetween(c.filter.from, c.filter.to) + 1;
        for (std::size_t i = 0; i < trend.size(); ++i) {
            const history::TrendPoint& p = trend[i];
            EXPECT_GE(p.day, 0);
            EXPECT_LT(p.day, days);
            EXPECT_NE(p.phase, 5) << "a record without readings";
            // The record's own time and readings: day d of December at hour h has area d.
            EXPECT_EQ(p.area, history::DaysBetween("2026-12-01", c.filter.from) + 1 +
                                  static_cast<int>(p.day));
            EXPECT_NEAR(p.day - static_cast<int>(p.day), (p.phase + 0.5) / 24.0, 1e-6);
            if (i > 0) {
                EXPECT_GT(p.day, trend[i - 1].day);
            }
        }
    }
}

TEST_F(ReaderTest, AMissingFileOpensEmptyAndADamagedOneIsRefused) {
    ASSERT_TRUE(history::OpenReader(records::DATABASE_FILE, &reader));
    history::Counts counts{9, 9, 9};
    long long records = 9;
    EXPECT_TRUE(history::CountRecords(reader, Days("2026-12-01", "2026-12-31"), &counts, &records));
    EXPECT_EQ(counts.tested, 0);
    EXPECT_EQ(records, 0);
    history::CloseReader(reader);

    WriteWholeFile(records::DATABASE_FILE, std::string(8192, 'x'));
    EXPECT_FALSE(history::OpenReader(records::DATABASE_FILE, &reader));
    EXPECT_EQ(ReadWholeFile(records::DATABASE_FILE), std::string(8192, 'x'));
}
