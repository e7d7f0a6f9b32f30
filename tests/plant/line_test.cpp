// 라인 현황: each station's newest record, its shift's counts by the station's definitions, its
// line stop, drift and wave alarm, from records and audit rows as a station sends them; what a
// station wrote comes back as text.
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

// Production tests of the case's master before its newest record: 25 alike (area 98 and 102 in
// turn, frequency 50000 and 50100 Hz), the chart's limits, then `newest` more of `area` (2 below
// and above it in turn) and `frequency`.
struct Readings {
    int newest = 0;
    int area = 100;
    double frequency = 50050;
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
    Readings readings;
    const char* drift;  // nullptr for none
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
    // The case's readings, a second apart, the last a second before now.
    static void AddReadings(const std::string& station, const LineCase& line) {
        const Readings& r = line.readings;
        if (r.newest == 0) {
            return;
        }
        const QDateTime now = QDateTime::currentDateTime();
        std::string sql =
            "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, "
            "model_no, outcome, stopped_at, attempt, reference, judge, area, phase, "
            "ringing_frequency, damping) VALUES ";
        const int count = 25 + r.newest;
        for (int i = 0; i < count; ++i) {
            const bool base = i < 25;
            const std::string at = now.addSecs(i - count)
                                       .toOffsetFromUtc(now.offsetFromUtc())
                                       .toString(Qt::ISODateWithMs)
                                       .toStdString();
            sql += std::string(i == 0 ? "" : ", ") + "(gen_random_uuid()::text, '" + station +
                   "', '" + at + "', '" + at + "', 'D-" + std::to_string(i) + "', " +
                   Literal(line.master) + ", 'X', 'O.K', '', 1, 0, 5, " +
                   std::to_string((base ? 98 : r.area - 2) + 4 * (i % 2)) + ", 50, " +
                   std::to_string(base ? 50000 + 100 * (i % 2) : r.frequency) + ", 0.1)";
        }
        server_->Value(sql);
    }
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
    AddReadings(station, line);
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
    EXPECT_EQ(shown["drift"].isNull() ? "null" : shown["drift"].toString().toStdString(),
              line.drift ? line.drift : "null");
    const QDateTime now = QDateTime::currentDateTime();
    const bool twelve =
        !line.audit.empty() && std::string(line.audit[0].object) == "reference/shifts";
    const QString from = twelve && now.time().hour() >= 12 ? "T12:00:00" : "T00:00:00";
    EXPECT_EQ(shown["shift_from"].toString(), now.date().toString("yyyy-MM-dd") + from);
}

INSTANTIATE_TEST_SUITE_P(
    Plant, LineTest,
    ::testing::Values(
        LineCase{"Passed", "M-01", "S-1", "O.K", 0, 0, {}, "O.K", 1, "100.0 %", "", {}, nullptr},
        LineCase{
            "FailedFlagged", "M-01", "S-2", "N.G", 0, 1, {}, "N.G", 1, "0.0 %", "", {}, nullptr},
        LineCase{"ReferenceUnit", "M-01", "R-1", "O.K", 1, 0, {}, "O.K", 0, "-", "", {}, nullptr},
        LineCase{"Markup",
                 "<b>M</b>",
                 "<script>x()</script>",
                 "O.K",
                 0,
                 0,
                 {},
                 "O.K",
                 1,
                 "100.0 %",
                 "",
                 {},
                 nullptr},
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
                 "ng",
                 {},
                 nullptr},
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
                 "",
                 {},
                 nullptr},
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
                 "",
                 {},
                 nullptr},
        LineCase{"Drift",
                 "M-04",
                 "S-6",
                 "O.K",
                 0,
                 0,
                 {},
                 "O.K",
                 27,
                 "100.0 %",
                 "",
                 {1, 150},
                 "추세 경고: 면적 규칙 1"},
        LineCase{
            "NoDrift", "M-04", "S-7", "O.K", 0, 0, {}, "O.K", 27, "100.0 %", "", {1, 100}, nullptr},
        LineCase{"WaveDriftOff",
                 "M-04",
                 "S-8",
                 "O.K",
                 0,
                 0,
                 {},
                 "O.K",
                 34,
                 "100.0 %",
                 "",
                 {8, 100, 51000},
                 nullptr},
        LineCase{"WaveDrift",
                 "M-04",
                 "S-9",
                 "O.K",
                 0,
                 0,
                 {{"settings changed", "drift/wave", "", "true"}},
                 "O.K",
                 34,
                 "100.0 %",
                 "",
                 {8, 100, 51000},
                 "추세 경고: 주파수 EWMA"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return info.param.name; });

// The table as CSV by the history's cell rules: a master that reads as a formula is kept as text.
TEST_F(PlantSuite, LineExportsTheTableAsCsv) {
    StartService(SettingsHere());
    Record("LINE-CSV", "=M", "N.G", 0, 0, "S-CSV");
    AddUser("line_csv", "viewer");
    const httplib::Result result = Client().Get("/api/line.csv", SessionOf("line_csv"));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200);
    const std::string header =
        "\xEF\xBB\xBF스테이션,마지막 수신,마스터,시리얼,최근 판정,판정 시각,교대 시작,교대 끝,"
        "검사 수,양품률,직행률,라인 정지,추세 경고,파형 경고\r\n";
    EXPECT_EQ(result->body.substr(0, header.size()), header);
    const size_t row = result->body.find("\r\nLINE-CSV,");
    ASSERT_NE(row, std::string::npos) << result->body;
    const std::string line =
        result->body.substr(row + 2, result->body.find("\r\n", row + 2) - row - 2);
    EXPECT_NE(line.find(",'=M,S-CSV,N.G,"), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with(",1,0.0 %,0.0 %,,,")) << line;
}

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
