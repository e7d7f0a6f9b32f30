// What the history does off the inspection's path: a damaged file's readable records carried into
// the new one, and records held back past their bound counted and told, never dropped in silence.
#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "log/log.h"
#include "records/database.h"
#include "settings/settings_in_force.h"
#include "tests/history/history_fixture.h"
#include "tests/support/sample_inspection.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"

namespace {

namespace fs = std::filesystem;
namespace tt = toolkit_testing;

class RecordingBacklogTest : public HistoryTest {
  protected:
    // Runs the event loop until `done` or 180 s: the sanitizers' build writes 50,000 records in
    // about a minute.
    template <typename Done>
    static bool Await(Done done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(180);
        while (!done() && std::chrono::steady_clock::now() < until) {
            QCoreApplication::processEvents();
            tt::RunDeferredCalls();
            QThread::msleep(5);
        }
        return done();
    }
    static std::string Count(const char* sql) {
        const auto rows = Query(sql);
        return rows.empty() ? "NULL" : rows[0][0];
    }
};

TEST_F(RecordingBacklogTest, ADamagedFilesReadableRecordsAreCarriedIntoTheNewOneAndCountedToday) {
    constexpr int RECORDS = 1200;
    settings::StartSettings();
    trail::Audit(trail::AUDIT_MASTER_SAVED, "M-01", "", "M-01 4.5 5 10 7 7 0");
    trail::Audit(trail::AUDIT_MASTER_DELETED, "M-01", "M-01 4.5 5 10 7 7 0", "");
    settings::StopSettings();
    trail::StopTrail();
    const auto trail = Query("SELECT seq, action, hash FROM audit ORDER BY seq");
    {
        records::Database db(QStringLiteral("backlog_test"));
        ASSERT_EQ(db.Open(HISTORY_FILE), records::DbStatus::Ok);
        std::vector<records::InspectionRow> rows;
        for (int n = 0; n < RECORDS; ++n) {
            Inspection inspection = SampleInspection(n, std::chrono::system_clock::now(),
                                                     SampleSetup("03", 4.5, 5, 10, 7), 3, 1,
                                                     n % 4 == 0 ? Outcome::NG : Outcome::OK);
            inspection.serial = "D" + std::to_string(n);
            rows.push_back({inspection, QStringLiteral("u%1").arg(n), QStringLiteral("L1")});
        }
        ASSERT_EQ(db.Insert(rows), records::DbStatus::Ok);
    }
    // The unit-number index's root page overwritten: the next record cannot be written.
    const auto root = Query("SELECT rootpage FROM sqlite_master WHERE name = 'inspection_serial'");
    const long long page_size = std::stoll(Query("PRAGMA page_size")[0][0]);
    ASSERT_EQ(root.size(), 1u);
    {
        QFile file(HISTORY_FILE);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek((std::stoll(root[0][0]) - 1) * page_size);
        file.write(QByteArray(static_cast<int>(page_size), '\xFF'));
    }
    Start_history();
    history::Record(Inspected(Outcome::OK));
    ASSERT_TRUE(Await(
        [] { return Count("SELECT COUNT(*) FROM inspection") == std::to_string(RECORDS + 1); }));
    int aside = 0;
    for (const auto& entry : fs::directory_iterator(".")) {
        aside += entry.path().filename().string().rfind("inspection_history-damaged-", 0) == 0 &&
                 entry.path().extension() == ".db";
    }
    EXPECT_EQ(aside, 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM inspection WHERE uuid LIKE 'u%' AND serial LIKE 'D%'"),
              std::to_string(RECORDS));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM outbox"), std::to_string(RECORDS + 1));
    EXPECT_EQ(StripShown(), (std::vector<std::string>{
                                std::to_string(RECORDS + 1), std::to_string(RECORDS * 3 / 4 + 1),
                                std::to_string(RECORDS / 4), "75.0 %", "on"}));
}

TEST_F(RecordingBacklogTest, RecordsHeldBackPastTheirBoundAreCountedAndTold) {
    constexpr int HELD = 50000;
    fs::create_directory(HISTORY_FILE);
    Start_history();
    for (int n = 0; n < HELD + 3; ++n) {
        history::Record(Inspected(Outcome::OK));
    }
    tt::RunDeferredCalls();
    std::vector<std::string> warnings;
    for (const auto& popup : tt::ShownPopups()) {
        warnings.push_back(popup.text);
    }
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[1].find("잃고 있습니다"), std::string::npos) << warnings[1];
    fs::remove(HISTORY_FILE);
    tt::ClearShownPopups();
    history::Record(Inspected(Outcome::OK));
    ASSERT_TRUE(Await([] { return Count("SELECT COUNT(*) FROM inspection") == "50000"; }));
    ASSERT_TRUE(Await([] { return !tt::ShownPopups().empty(); }));
    EXPECT_NE(tt::ShownPopups()[0].text.find("4 건"), std::string::npos)
        << tt::ShownPopups()[0].text;
}

// The stop's last try writes them, and the log says nothing of a loss that did not happen.
TEST_F(RecordingBacklogTest, RecordsHeldBackAreWrittenAtTheStopAndNotToldLost) {
    fs::create_directory(HISTORY_FILE);
    Start_history();
    for (int n = 0; n < 3; ++n) {
        history::Record(Inspected(Outcome::OK));
    }
    fs::remove(HISTORY_FILE);
    history::Stop();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM inspection"), "3");
    std::ifstream log(surge_log::LOG_FILE);
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("are lost"), std::string::npos) << text;
}

}  // namespace
