// The wave's features computed for the records a station kept before reach a witness server as
// rows of their own, kept once, shown by its view where the record's own columns are NULL; a
// server of the layout before takes the records as ever and the features wait, with no warning.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "history/recorder.h"
#include "records/schema_versions.h"
#include "tests/history/server/server_suite.h"
#include "tests/support/sample_inspection.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit_testing.h"

namespace {

class FeaturesFeedTest : public ServerSuite {
  protected:
    void TearDown() override {
        ServerSuite::TearDown();
        unsetenv("SURGE_STATION");
    }
    // Three records kept with no server set and before the station computed the wave's features:
    // the file then remembers none as looked at.
    static void KeepRecordsOfBefore() {
        history::Start({});
        for (int n = 1; n <= 3; ++n) {
            history::Record(SampleInspection(n, std::chrono::system_clock::now(),
                                             SampleSetup("03", 4.5, 5, 10, 7), 4, 1, Outcome::OK));
        }
        history::Stop();
        FileValue("DELETE FROM wave_backfill");
    }
};

TEST_F(FeaturesFeedTest,
       TheFeaturesOfRecordsKeptBeforeReachALayout7ServerAndALayout6TakesTheRecords) {
    const struct {
        const char* database;
        int layout;
        const char* features;  // on the server: its rows, and the view's records with them
    } cases[] = {
        {"features_7", records::FEATURES_LAYOUT, "3|3|3"},
        {"features_6", records::WAVE_LAYOUT, nullptr},
    };
    setenv("SURGE_STATION", "LINE-5", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.database);
        ScopedWorkDir dir;
        KeepRecordsOfBefore();
        server_->Value(std::string("CREATE DATABASE ") + c.database + "; SELECT 1", "postgres");
        ASSERT_NE(MakeWitness(c.database, "LINE-5", "line5"), "");
        if (c.layout < records::FEATURES_LAYOUT) {
            server_->Value(
                "DROP VIEW inspection_with_features; DROP TABLE wave_features; UPDATE "
                "server_layout SET version = " +
                    std::to_string(c.layout) + "; SELECT 1",
                c.database);
        }
        PointStationAs(c.database, "line5");
        toolkit_testing::ClearShownPopups();
        for (int start = 0; start < 2; ++start) {
            history::Start({});
            EXPECT_TRUE(Await([&] {
                return server_->Value("SELECT COUNT(*) FROM inspection", c.database) == "3" &&
                       FileValue("SELECT below FROM wave_backfill") == "0" &&
                       FileValue("SELECT COUNT(*) FROM wave_outbox") ==
                           (c.features == nullptr ? "3" : "0");
            }));
            history::Stop();
            // Sent again, each is kept once.
            FileValue("INSERT OR IGNORE INTO wave_outbox SELECT record FROM wave_features");
        }
        EXPECT_EQ(server_->Value(c.features == nullptr
                                     ? "SELECT to_regclass('wave_features') IS NULL"
                                     : "SELECT COUNT(*) || '|' || COUNT(standard_error_area) || "
                                       "'|' || (SELECT COUNT(*) FROM inspection_with_features "
                                       "WHERE standard_error_area IS NOT NULL AND error_area IS "
                                       "NULL AND wave_alarm IS NULL) FROM wave_features",
                                 c.database),
                  c.features == nullptr ? "true" : c.features);
        EXPECT_EQ(server_->Value("SELECT COUNT(*) FROM inspection WHERE standard_error_area IS "
                                 "NULL",
                                 c.database),
                  "3");
        for (const auto& popup : toolkit_testing::ShownPopups()) {
            EXPECT_EQ(popup.text.find("서버"), std::string::npos) << popup.text;
        }
    }
}

}  // namespace
