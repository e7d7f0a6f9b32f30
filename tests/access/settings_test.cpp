// "station.ini": the settings in force at start-up and after a change, each change an audit row,
// a file that cannot be used told once while the settings last read well stay in force.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <string>
#include <vector>

#include "settings/settings_in_force.h"
#include "tests/support/file_rows.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit_testing.h"
#include "trail/audit_trail.h"

namespace {

namespace tt = toolkit_testing;
using Rows = std::vector<std::vector<std::string>>;

Rows Query(const std::string& sql) {
    return QueryFile(sql);
}

struct Shown {
    bool enabled;
    int idle_minutes;
    int warnings;
};

Shown InForce() {
    return {settings::Settings().access.enabled, settings::Settings().access.idle_minutes,
            static_cast<int>(tt::ShownPopups().size())};
}

bool operator==(const Shown& a, const Shown& b) {
    return a.enabled == b.enabled && a.idle_minutes == b.idle_minutes && a.warnings == b.warnings;
}

TEST(SettingsTest, TheFileInForceIsAuditedAndOneThatCannotBeUsedLeavesTheLastReadWell) {
    ScopedWorkDir dir;
    const struct {
        const char* name;
        const char* file;  // nullptr: no file
        Shown shown;
        Rows audited;  // the rows this step added: object, before, after
    } steps[] = {
        {"no file: every default", nullptr, {false, 15, 0}, {}},
        {"access on",
         "[access]\nenabled=true\nidle_minutes=20\n",
         {true, 20, 0},
         {{"access/enabled", "false", "true"}, {"access/idle_minutes", "15", "20"}}},
        {"a word that is no yes or no", "[access]\nenabled=maybe\n", {true, 20, 1}, {}},
        {"an unknown key", "[acess]\nenabled=false\n", {true, 20, 2}, {}},
        {"put right",
         "[access]\nenabled=true\nidle_minutes=5\n",
         {true, 5, 2},
         {{"access/idle_minutes", "20", "5"}}},
        {"the file taken away",
         nullptr,
         {false, 15, 2},
         {{"access/enabled", "true", "false"}, {"access/idle_minutes", "5", "15"}}},
    };
    tt::ClearShownPopups();
    settings::StartSettings();
    std::size_t rows_before = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.file != nullptr) {
            WriteWholeFile("station.ini", step.file);
        } else {
            std::remove("station.ini");
        }
        settings::CheckSettingsFile();
        EXPECT_TRUE(InForce() == step.shown)
            << InForce().enabled << " " << InForce().idle_minutes << " " << InForce().warnings;
        const Rows audit = Query(
            "SELECT object, before_value, after_value FROM audit WHERE action = "
            "'settings changed' ORDER BY seq");
        EXPECT_EQ(Rows(audit.begin() + static_cast<long>(rows_before), audit.end()), step.audited);
        rows_before = audit.size();
    }
    // Started anew on a file that cannot be used, the station keeps what it last read well.
    WriteWholeFile("station.ini", "[access]\nenabled=true\n");
    settings::CheckSettingsFile();
    WriteWholeFile("station.ini", "[access]\nidle_minutes=0\n");
    settings::StopSettings();
    tt::ClearShownPopups();
    settings::StartSettings();
    EXPECT_TRUE(InForce() == (Shown{true, 15, 1}));
    EXPECT_NE(tt::ShownPopups()[0].text.find("마지막으로 읽은 설정"), std::string::npos);
    settings::StopSettings();
    trail::StopTrail();
}

}  // namespace
