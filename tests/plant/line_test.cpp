// 라인 현황: each station's newest record, its shift's counts by the station's definitions, its
// line stop and wave alarm, from records and audit rows as a station sends them; what a station
// wrote comes back as text.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>

#include "tests/plant/plant_fixture.h"

namespace {

struct AuditRow {
    const char* action;
    const char* object;  // "" for the case's master
    const char* code;
    const char* after;
};

struct LineCase {
    const char* name;
    const char* master;
    const char* serial;
    const char* outcome;
    int reference;
    int wave_alarm;
    std::vector<AuditRow> audit;
    const char* verdict;
    int tested;
    const char* yield;
    const char* line_stop;  // its code, "" for none
};

class LineTest : public PlantSuite, public ::testing::WithParamInterface<LineCase> {
  protected:
    // Audit rows of `station` in its chain's order; the server's check of the chain is set aside,
    // as these rows carry no real hash.
    static void Audit(const std::string& station, const LineCase& line) {
        std::string sql = "ALTER TABLE audit DISABLE TRIGGER audit_arrives";
        int seq = 0;
        for (const AuditRow& row : line.audit) {
            sql +=
                "; INSERT INTO audit (seq, at, station, user_name, role, action, object, "
                "before_value, after_value, reason, prev_hash, hash, code) VALUES (" +
                std::to_string(++seq) + ", '" + Now() + "', '" + station +
                "', 'kim', "
                "'engineer', '" +
                row.action + "', " + Literal(row.object[0] == '\0' ? line.master : row.object) +
                ", '', '" + row.after + "', '', '', 'h', '" + row.code + "')";
        }
        server_->Value(sql + "; ALTER TABLE audit ENABLE TRIGGER audit_arrives");
    }
    static std::string Literal(const std::string& text) { return "'" + text + "'"; }
    // The station's object in /api/line.
    QJsonObject StationIn(const std::string& body, const std::string& station) {
        for (const QJsonValue& value :
             QJsonDocument::fromJson(QByteArray::fromStdString(body))["stations"].toArray()) {
            if (value["station"].toString().toStdString() == station) {
                return value.toObject();
            }
        }
        return {};
    }
};

TEST_P(LineTest, ShowsTheStation) {
    StartService(SettingsHere());
    const LineCase& line = GetParam();
    const std::string station = std::string("LINE-") + line.name;
    Record(station, line.master, line.outcome, line.reference, line.wave_alarm, line.serial);
    Audit(station, line);
    const std::string viewer = std::string("viewer_") + line.name;
    AddUser(viewer, "viewer");
    const httplib::Result result = Client().Get("/api/line", SessionOf(viewer));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200);
    EXPECT_EQ(result->body.find("<"), std::string::npos) << "markup in " << result->body;
    const QJsonObject shown = StationIn(result->body, station);
    EXPECT_EQ(shown["master"].toString().toStdString(), line.master);
    EXPECT_EQ(shown["serial"].toString().toStdString(), line.serial);
    EXPECT_EQ(shown["verdict"].toString().toStdString(), line.verdict);
    EXPECT_EQ(shown["tested"].toInt(), line.tested);
    EXPECT_EQ(shown["yield"].toString().toStdString(), line.yield);
    EXPECT_EQ(shown["line_stop"]["code"].toString().toStdString(), line.line_stop);
    EXPECT_EQ(shown["wave_alarm"].toBool(), line.wave_alarm != 0);
    const QDateTime now = QDateTime::currentDateTime();
    const bool twelve =
        !line.audit.empty() && std::string(line.audit[0].object) == "reference/shifts";
    const QString from = twelve && now.time().hour() >= 12 ? "T12:00:00" : "T00:00:00";
    EXPECT_EQ(shown["shift_from"].toString(), now.date().toString("yyyy-MM-dd") + from);
}

INSTANTIATE_TEST_SUITE_P(
    Plant, LineTest,
    ::testing::Values(
        LineCase{"Passed", "M-01", "S-1", "O.K", 0, 0, {}, "O.K", 1, "100.0 %", ""},
        LineCase{"FailedFlagged", "M-01", "S-2", "N.G", 0, 1, {}, "N.G", 1, "0.0 %", ""},
        LineCase{"ReferenceUnit", "M-01", "R-1", "O.K", 1, 0, {}, "O.K", 0, "-", ""},
        LineCase{
            "Markup", "<b>M</b>", "<script>x()</script>", "O.K", 0, 0, {}, "O.K", 1, "100.0 %", ""},
        LineCase{"LineStopped",
                 "M-02",
                 "S-3",
                 "N.G",
                 0,
                 0,
                 {{"line stopped", "", "ng", "N.G"}},
                 "N.G",
                 1,
                 "0.0 %",
                 "ng"},
        LineCase{"Acknowledged",
                 "M-02",
                 "S-4",
                 "N.G",
                 0,
                 0,
                 {{"line stopped", "", "ng", "N.G"}, {"line stop acknowledged", "", "ng", ""}},
                 "N.G",
                 1,
                 "0.0 %",
                 ""},
        LineCase{"AuditedShifts",
                 "M-03",
                 "S-5",
                 "O.K",
                 0,
                 0,
                 {{"settings changed", "reference/shifts", "", "00:00, 12:00"}},
                 "O.K",
                 1,
                 "100.0 %",
                 ""}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return info.param.name; });

TEST_F(PlantSuite, PageShowsTheUsersNameAsText) {
    StartService(SettingsHere());
    AddUser("<i>kim</i>", "viewer");
    const httplib::Result page = Client().Get("/line", SessionOf("<i>kim</i>"));
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("&lt;i&gt;kim&lt;/i&gt;"), std::string::npos);
    EXPECT_EQ(page->body.find("<i>"), std::string::npos);
}

// A station's recording (the history's driver) sends five cycles through its forwarder, as its
// own login of a witness server; 라인 현황 counts them as the station's strip does.
TEST_F(PlantSuite, RecordsSentByAStationsForwarderAreShown) {
    server_->Value("CREATE ROLE line_fwd LOGIN PASSWORD 'pw-line_fwd'", "postgres");
    ASSERT_EQ(Tool(SURGE_AUDIT_PATH, {"setup-server", "--station", "LINE-FWD=line_fwd"}, ""), 0);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "surge-plant-fwd";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    QProcess station;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SURGE_STATION", "LINE-FWD");
    environment.insert("SURGE_HISTORY_DB",
                       QString::fromStdString(server_->Setting(PgServer::DATABASE, "line_fwd")));
    environment.insert("SURGE_HISTORY_PASSWORD", "pw-line_fwd");
    station.setProcessEnvironment(environment);
    station.setWorkingDirectory(QString::fromStdString(dir.string()));
    station.setProcessChannelMode(QProcess::MergedChannels);
    station.start(SURGE_HISTORY_DRIVER_PATH, {"5", "1", "30"});
    ASSERT_TRUE(station.waitForFinished(60000));
    ASSERT_EQ(station.exitCode(), 0) << station.readAll().toStdString();
    std::filesystem::remove_all(dir);

    StartService(SettingsHere());
    AddUser("fwd_viewer", "viewer");
    const httplib::Result result = Client().Get("/api/line", SessionOf("fwd_viewer"));
    ASSERT_TRUE(result);
    const std::string shown = result->body;
    EXPECT_NE(shown.find(R"("station":"LINE-FWD","last_seen":)"), std::string::npos) << shown;
    EXPECT_NE(shown.find(R"("serial":"SN-5","verdict":"O.K")"), std::string::npos) << shown;
    EXPECT_NE(shown.find(R"("tested":5,"yield":"100.0 %","first_pass":"100.0 %")"),
              std::string::npos)
        << shown;
}

}  // namespace
