// What the station judges by, audited: a master saved, overwritten and deleted, the spreadsheet
// program chosen, each a row with the value before and after; the master carried to the main panel
// gives its version to the records, none when no stored master matches it.
#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "settings/settings_in_force.h"
#include "state/main_model.h"
#include "tests/master/master_fixture.h"
#include "tests/support/file_rows.h"
#include "trail/audit_trail.h"

namespace {

namespace tt = toolkit_testing;
using AuditRows = std::vector<std::vector<std::string>>;

class MasterAuditTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        settings::StartSettings();
    }
    void TearDown() override {
        settings::StopSettings();
        trail::StopTrail();
        PanelTest::TearDown();
    }
    // The audit rows since the last call: action, object, before, after.
    AuditRows NewRows() {
        const FileRows rows =
            QueryFile("SELECT action, object, before_value, after_value FROM audit WHERE seq > " +
                      std::to_string(seen_) + " ORDER BY seq");
        seen_ += static_cast<int>(rows.size());
        return AuditRows(rows.begin(), rows.end());
    }
    static std::string Version(const std::string& line, int seed) {
        return QCryptographicHash::hash(QByteArray::fromStdString(line + "\n" + Block(seed)),
                                        QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    }
    int seen_ = 0;
};

TEST_F(MasterAuditTest, EachChangeOfWhatTheStationJudgesByIsARowWithItsBeforeAndAfter) {
    const std::string first = "NEW 8.0 3 5 10 10 0";
    const std::string second = "NEW 9.5 3 5 10 10 0";
    const std::string first_described = first + " · " + Version(first, 9);
    const std::string second_described = second + " · " + Version(second, 9);
    const struct {
        const char* name;
        std::function<void()> act;
        AuditRows rows;
        std::string carried;  // the version carried to the main panel afterwards
    } steps[] = {
        {"saved",
         [] {
             SetCurrent("", 8.0F, 3, 5, 10, 10, 0, 9);
             tt::TypeText(setupHandle, SETUP_MODEL_NAME, "NEW");
             tt::QueueConfirmAnswer(1);
             tt::Commit(setupHandle, SETUP_SAVE);
         },
         {{"master saved", "NEW", "", first_described}},
         ""},
        {"carried to the main panel as stored",
         [] { tt::Commit(setupHandle, SETUP_QUIT); },
         {},
         Version(first, 9)},
        {"overwritten",
         [] {
             tt::Commit(mainHandle, MAIN_CMD_26);
             voltage = 9.5F;
             tt::TypeText(setupHandle, SETUP_MODEL_NAME, "NEW");
             tt::QueueConfirmAnswer(1);
             tt::QueueConfirmAnswer(1);
             tt::Commit(setupHandle, SETUP_SAVE);
         },
         {{"master overwritten", "NEW", first_described, second_described}},
         Version(first, 9)},
        {"a master no stored one matches",
         [] {
             corona = 4;
             tt::Commit(setupHandle, SETUP_QUIT);
         },
         {},
         ""},
        {"deleted",
         [] {
             tt::Commit(mainHandle, MAIN_CMD_26);
             tt::Commit(setupHandle, SETUP_LIST);
             tt::ClickTableCell(masterHandle, MASTER_TABLE, MakePoint(1, 1));
             tt::Commit(masterHandle, MASTER_DELETE);
         },
         {{"master deleted", "NEW", second_described, ""}},
         ""},
        {"a program chosen",
         [] {
             tt::Commit(masterHandle, MASTER_CANCEL);
             tt::QueueFileAnswer("/usr/bin/localc");
             tt::Commit(setupHandle, SETUP_EXCEL_SELECT);
         },
         {{"program chosen", "excel_path.txt", "", "/usr/bin/localc"}},
         ""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(NewRows(), step.rows);
        EXPECT_EQ(Carried_master_version(), step.carried);
    }
}

}  // namespace
