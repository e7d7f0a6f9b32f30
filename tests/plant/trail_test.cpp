// 변경 기록: a station's trail on the server, newest first, and whether its chain holds there,
// naming the first row that does not; what a station wrote comes back as data; no answer without
// a session.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cctype>

#include "tests/plant/plant_fixture.h"
#include "trail/audit_row.h"
#include "trail/digest.h"

namespace {

struct TrailCase {
    const char* name;
    const char* object;  // of the second row
    const char* tamper;  // run on the server after the rows arrive, STATION its name
    const char* role;    // of the session; empty for none
    int status;
    const char* state;  // of the station's chain
    long long broken_seq;
    bool plant;  // whether the plant users' trail is shown
};

class TrailTest : public PlantSuite, public ::testing::WithParamInterface<TrailCase> {
  protected:
    // Three rows of `station`'s chain, sent as the station sends them, with a login of its own.
    static void SendTrail(const std::string& station, const std::string& object) {
        std::string login = "login_" + station;
        for (char& c : login) {
            c = c == '-' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        server_->Value("CREATE ROLE " + login + " LOGIN", "postgres");
        ASSERT_EQ(
            Tool(SURGE_AUDIT_PATH,
                 {"setup-server", "--station", QString::fromStdString(station + "=" + login)}, ""),
            0);
        std::string prev = trail::GENESIS;
        for (long long seq = 1; seq <= 3; ++seq) {
            trail::AuditRow row;
            row.seq = seq;
            row.at = Now();
            row.station = station;
            row.user = row.role = "-";
            row.action = "settings changed";
            row.object = seq == 2 ? object : "[gates] retest_limit";
            row.before = std::to_string(seq);
            row.after = std::to_string(seq + 1);
            row.prev_hash = prev;
            row.hash = prev = trail::Sha256Hex(trail::CanonicalText(row));
            server_->Value(
                "INSERT INTO audit (seq, at, station, user_name, role, action, object, "
                "before_value, after_value, reason, prev_hash, hash) VALUES (" +
                std::to_string(seq) + ", '" + row.at + "', '" + station + "', '-', '-', '" +
                row.action + "', " + Literal(row.object) + ", '" + row.before + "', '" + row.after +
                "', '', '" + row.prev_hash + "', '" + row.hash + "')");
        }
    }
    static std::string Literal(const std::string& text) {
        std::string quoted = "'";
        for (const char c : text) {
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        }
        return quoted + "'";
    }
};

TEST_P(TrailTest, ShowsTheStationsChain) {
    StartService(SettingsHere());
    const TrailCase& c = GetParam();
    const std::string station = std::string("TRAIL-") + c.name;
    SendTrail(station, c.object);
    std::string tamper = c.tamper;
    for (std::size_t at; (at = tamper.find("STATION")) != std::string::npos;) {
        tamper.replace(at, 7, station);
    }
    if (!tamper.empty()) {
        server_->Value(tamper);
    }
    httplib::Headers session;
    if (c.role[0] != '\0') {
        AddUser(std::string("trail_") + c.name, c.role);
        session = SessionOf(std::string("trail_") + c.name);
    }
    const httplib::Result result = Client().Get("/api/trail?station=" + station, session);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, c.status);
    if (c.status != 200) {
        return;
    }
    EXPECT_EQ(result->body.find('<'), std::string::npos) << "markup in " << result->body;
    const QJsonObject answer =
        QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
    const QJsonArray rows = answer["rows"].toArray();
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows[0]["seq"].toInt(), 3) << "newest first";
    EXPECT_EQ(answer["check"]["state"].toString().toStdString(), c.state)
        << answer["check"]["text"].toString().toStdString();
    EXPECT_EQ(answer["check"]["broken_seq"].toInteger(), c.broken_seq);
    EXPECT_EQ(rows[1]["object"].toString().toStdString(),
              c.broken_seq == 3 ? "[gates] retest_limit" : c.object);
    EXPECT_EQ(answer.contains("plant"), c.plant);
    if (c.plant) {
        EXPECT_EQ(answer["plant"]["check"]["state"].toString(), "holds");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Plant, TrailTest,
    ::testing::Values(
        TrailCase{"Holds", "[gates] line_stop", "", "viewer", 200, "holds", 0, false},
        TrailCase{"AlteredByItsOwner", "[gates] line_stop",
                  "UPDATE audit SET after_value = '9' WHERE station = 'STATION' AND seq = 2",
                  "engineer", 200, "broken", 2, false},
        TrailCase{"Gap", "[gates] line_stop",
                  "DELETE FROM audit WHERE station = 'STATION' AND seq = 2", "viewer", 200,
                  "broken", 3, false},
        TrailCase{"MarkupAsData", "<img src=x onerror=alert('t')>", "", "administrator", 200,
                  "holds", 0, true},
        TrailCase{"WithoutASession", "[gates] line_stop", "", "", 401, "", 0, false}),
    [](const ::testing::TestParamInfo<TrailCase>& info) { return info.param.name; });

}  // namespace
