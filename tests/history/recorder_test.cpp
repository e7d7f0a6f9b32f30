// Each end of a cycle gives one record holding what the cycle reached; the serial field starts
// the cycle on Enter and is emptied after it; the strip counts today's units.
#include <QCoreApplication>
#include <QDateTime>
#include <QInputMethodQueryEvent>
#include <QRegularExpression>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "records/record_fields.h"
#include "state/main_model.h"
#include "tests/history/history_fixture.h"
#include "trail/session.h"

namespace {

namespace tt = toolkit_testing;
using Row = std::vector<std::string>;

std::string Hex(const signed char* samples) {
    return QByteArray(reinterpret_cast<const char*>(samples), WAVE_SAMPLES)
        .toHex()
        .toUpper()
        .toStdString();
}

TEST_F(HistoryTest, EachEndOfACycleIsRecordedWithWhatTheCycleReached) {
    setenv("SURGE_STATION", "LINE-3", 1);
    Start_history();
    unsetenv("SURGE_STATION");
    // Who tested, and the version of the master carried to the main panel.
    Keep_master_version("3f2a");
    trail::SetCurrentUser({"kim", "operator"});
    const struct {
        std::vector<std::string> options;
        Row expected;  // outcome, stopped_at, model_no, voltage, area, waves' lengths
    } cases[] = {
        {{"--noise", "0"}, {"O.K", "", "03", "4.5", "0", "300", "300"}},
        {{"--noise", "0", "--result", "1203NG"}, {"N.G", "", "03", "4.5", "12", "300", "300"}},
        {{"--no-reply", "ME"}, {"incomplete", "ME", "", "NULL", "NULL", "NULL", "NULL"}},
        {{"--hangup-after-reply", "ME"}, {"incomplete", "ST", "03", "4.5", "NULL", "NULL", "NULL"}},
        {{"--no-reply", "WT"}, {"incomplete", "WT", "03", "4.5", "NULL", "NULL", "NULL"}},
        {{"--short-reply", "WS:10"}, {"incomplete", "WS", "03", "4.5", "NULL", "NULL", "300"}},
        {{"--no-reply", "RE"}, {"incomplete", "RE", "03", "4.5", "NULL", "300", "300"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.back());
        Connect(c.options);
        Cycle("SN-" + std::to_string(++n));
        EXPECT_EQ(Text(MAIN_SERIAL), "");
        const auto rows = Query(
            "SELECT outcome, stopped_at, model_no, voltage, area, length(standard_wave), "
            "length(measured_wave), serial, master, station, uuid, started_at, ended_at, "
            "hex(standard_wave), hex(measured_wave), master_version, operator FROM inspection "
            "ORDER BY id DESC LIMIT 1");
        ASSERT_EQ(rows.size(), 1u);
        const Row& row = rows[0];
        EXPECT_EQ(Row(row.begin(), row.begin() + 7), c.expected);
        EXPECT_EQ((Row{row[7], row[8], row[9], row[15], row[16]}),
                  (Row{"SN-" + std::to_string(n), "M-01", "LINE-3", "3f2a", "kim"}));
        EXPECT_TRUE(QRegularExpression("^[0-9a-f]{8}-[0-9a-f]{4}-7[0-9a-f]{3}-[89ab][0-9a-f]{3}-"
                                       "[0-9a-f]{12}$")
                        .match(QString::fromStdString(row[10]))
                        .hasMatch())
            << row[10];
        const QRegularExpression iso(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$");
        EXPECT_TRUE(iso.match(QString::fromStdString(row[11])).hasMatch()) << row[11];
        EXPECT_LE(row[11], row[12]);
        if (c.expected[5] == "300") {
            EXPECT_EQ(row[13], Hex(wave.data()));
        }
        if (c.expected[6] == "300") {
            EXPECT_EQ(row[14], Hex(measured_wave.data()));
        }
    }
    EXPECT_EQ(Query("SELECT COUNT(*) FROM inspection")[0][0], "7");
    // Each record names the software that wrote it.
    EXPECT_EQ(Query("SELECT DISTINCT software_version FROM inspection"),
              (std::vector<Row>{{records::SoftwareVersion().toStdString()}}));
    // A standard wave is kept once however many records show it.
    EXPECT_EQ(Query("SELECT COUNT(*) FROM standard"),
              Query("SELECT COUNT(DISTINCT standard_wave) FROM inspection"));
    EXPECT_EQ(StripShown(), (Row{"2", "1", "1", "50.0 %", "on"}));
    trail::SetCurrentUser({});
}

TEST_F(HistoryTest, EnterInTheSerialFieldStartsOneCycleUnlessTheStartCommandIsDimmed) {
    Start_history();
    Connect({"--noise", "0"});
    QWidget* field = tt::ControlWidget(mainHandle, MAIN_SERIAL);
    QTest::keyClicks(field, "A100");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(sim_->Commands().size(), 5u);
    EXPECT_EQ(Shown(MAIN_OK_LED), 1);
    // Typed by hand, then the start command pressed: still one cycle.
    tt::TypeText(mainHandle, MAIN_SERIAL, "A101");
    tt::Commit(mainHandle, MAIN_CMD_30);
    EXPECT_EQ(sim_->Commands().size(), 10u);
    SetCtrlAttribute(mainHandle, MAIN_CMD_30, ATTR_DIMMED, 1);
    QTest::keyClicks(field, "A102");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(sim_->WaitForCommands(11, 0.3));
    EXPECT_EQ(Query("SELECT serial FROM inspection ORDER BY id"),
              (std::vector<Row>{{"A100"}, {"A101"}}));
}

// A unit read while the one before is tested waits in the field: the Enter held through the test
// starts nothing, and the next unit's test starts at the Enter given after it.
TEST_F(HistoryTest, ScanDuringATestWaitsInTheFieldForTheNextUnit) {
    Start_history();
    QWidget* field = tt::ControlWidget(mainHandle, MAIN_SERIAL);
    const struct {
        const char* during;  // typed while SN1 is tested
        const char* waiting;
    } cases[] = {
        {"SN2\r", "SN2"},
        {"SN2\rSN2\r", "SN2"},  // a double read: the second replaces the first
        {"SN1\r", "SN1"},       // the unit in the fixture read again
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.during);
        Connect({"--noise", "0"});
        const std::size_t before = Query("SELECT serial FROM inspection").size();
        QTest::keyClicks(field, "SN1");
        tt::TypeWhileHeld(mainHandle, MAIN_SERIAL, c.during);
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(sim_->Commands().size(), 5u);
        EXPECT_EQ(Text(MAIN_SERIAL), c.waiting);
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(sim_->Commands().size(), 10u);
        const auto serials = Query("SELECT serial FROM inspection ORDER BY id");
        EXPECT_EQ(std::vector<Row>(serials.begin() + static_cast<long>(before), serials.end()),
                  (std::vector<Row>{{"SN1"}, {c.waiting}}));
    }
}

// What a scanner sends: Enter alone (a no-read) starts nothing; a read is tested without the
// blanks around it and with its group separators (Ctrl+]); one longer than a serial number is
// refused, at Enter or at the start command, and the strip says why until a later cycle ends. No
// input method composes the field's keys.
TEST_F(HistoryTest, AScannersReadIsTestedTrimmedAndWholeOrRefused) {
    Start_history();
    Connect({"--noise", "0"});
    QWidget* field = tt::ControlWidget(mainHandle, MAIN_SERIAL);
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(field, &query);
    EXPECT_FALSE(query.value(Qt::ImEnabled).toBool());
    const std::string longest(64, '7');
    const struct {
        std::string read;      // "]" is typed as Ctrl+], the group separator
        bool by_start;         // the start command pressed instead of Enter
        std::string recorded;  // empty: no test
    } cases[] = {
        {"", false, ""},
        {longest + "7", false, ""},
        {"  SN-7 ", false, "SN-7"},
        {"01]21X", false, "01\03521X"},
        {longest + "7", true, ""},
        {longest, false, longest},
    };
    std::size_t commands = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.read + (c.by_start ? " and start" : " and Enter"));
        if (c.by_start) {
            tt::TypeText(mainHandle, MAIN_SERIAL, c.read);
            tt::Commit(mainHandle, MAIN_CMD_30);
        } else {
            for (const char ch : c.read) {
                QTest::keyClick(field, ch, ch == ']' ? Qt::ControlModifier : Qt::NoModifier);
            }
            QTest::keyClick(field, Qt::Key_Return);
        }
        commands += c.recorded.empty() ? 0 : 5;
        EXPECT_EQ(sim_->Commands().size(), commands);
        const bool refused = c.read.size() > longest.size();
        char reason[128] = "";
        GetCtrlVal(mainHandle, MAIN_SERIAL_REFUSED, reason);
        EXPECT_EQ(Shown(MAIN_SERIAL_REFUSED) == 1, refused);
        if (refused) {
            EXPECT_STREQ(reason, "일련번호가 64 자를 넘습니다. 다시 읽으십시요.");
            EXPECT_EQ(Text(MAIN_SERIAL), "");
        } else if (!c.recorded.empty()) {
            EXPECT_EQ(Query("SELECT serial FROM inspection ORDER BY id DESC LIMIT 1"),
                      std::vector<Row>{{c.recorded}});
        }
    }
}

TEST_F(HistoryTest, TheStripCountsTodaysUnitsFromTheFileAndEachCycle) {
    Start_history();
    EXPECT_EQ(StripShown(), (Row{"0", "0", "0", "-", "on"}));
    const auto now = std::chrono::system_clock::now();
    for (const auto& [outcome, days_ago] :
         std::vector<std::pair<Outcome, int>>{{Outcome::OK, 0},
                                              {Outcome::OK, 0},
                                              {Outcome::NG, 0},
                                              {Outcome::INCOMPLETE, 0},
                                              {Outcome::NG, 1}}) {
        history::Record(Inspected(outcome, now - std::chrono::hours(24 * days_ago)));
    }
    EXPECT_EQ(StripShown(), (Row{"3", "2", "1", "66.7 %", "on"}));
    history::Stop();
    Start_history();
    EXPECT_EQ(StripShown(), (Row{"3", "2", "1", "66.7 %", "on"}));
}

// In a time zone whose midnight is three seconds away, the strip turns to the new day on its own.
TEST_F(HistoryTest, TheStripTurnsToTheNewDayAtLocalMidnightWithoutACycle) {
    const char* zone = std::getenv("TZ");
    const std::string previous = zone != nullptr ? zone : "";
    // POSIX zones count the seconds west of UTC.
    qint64 west = (QDateTime::currentSecsSinceEpoch() + 3) % 86400;
    west = west > 43200 ? west - 86400 : west;
    char rule[32];
    std::snprintf(rule, sizeof rule, "LOC%c%lld:%02lld:%02lld", west < 0 ? '-' : '+',
                  std::llabs(west) / 3600, std::llabs(west) / 60 % 60, std::llabs(west) % 60);
    setenv("TZ", rule, 1);
    tzset();
    Start_history();
    history::Record(Inspected(Outcome::OK));
    EXPECT_EQ(StripShown(), (Row{"1", "1", "0", "100.0 %", "on"}));
    EXPECT_TRUE(QTest::qWaitFor([] { return StripShown()[0] == "0"; }, 10000));
    EXPECT_EQ(StripShown(), (Row{"0", "0", "0", "-", "on"}));
    zone != nullptr ? setenv("TZ", previous.c_str(), 1) : unsetenv("TZ");
    tzset();
}

TEST_F(HistoryTest, TheMainPanelWithItsStripFitsA1024By768ScreenUnderAWindowManager) {
    // The 25-pixel band the station leaves above the panel, and a title bar.
    const QSize least = tt::PanelWidget(mainHandle)->minimumSizeHint();
    EXPECT_LE(least.width(), 1024);
    EXPECT_LE(least.height(), 768 - 25 - 32);
}

}  // namespace
