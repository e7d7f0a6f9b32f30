// 수율: a day's records at two stations under two masters, with retests and across a shift
// boundary, counted by station, master, shift (each station's own where they differ) and day as
// the station's history counts them; what a station wrote comes back as data; no answer without
// a session.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/plant/plant_fixture.h"

namespace {

struct YieldRecord {
    const char* station;
    const char* master;
    const char* serial;
    const char* clock;  // on 2026-03-02
    const char* outcome;
    int attempt;
    int reference;
};

// The day's records; the shifts are the defaults (06:00, 14:00, 22:00).
const YieldRecord RECORDS[] = {
    {"Y-A", "M-Y1", "S-1", "13:50", "N.G", 1, 0},
    {"Y-A", "M-Y1", "S-1", "14:10", "O.K", 2, 0},
    {"Y-A", "M-Y1", "S-2", "13:55", "O.K", 1, 0},
    {"Y-B", "<b>M-Y2</b>", "S-3", "10:00", "N.G", 1, 0},
    {"Y-B", "<b>M-Y2</b>", "S-3", "10:05", "N.G", 2, 0},
    {"Y-B", "<b>M-Y2</b>", "S-4", "15:00", "O.K", 1, 0},
    {"Y-B", "<b>M-Y2</b>", "R-1", "15:10", "O.K", 1, 1},
    {"Y-B", "M-Y1", "S-5", "23:00", "O.K", 1, 0},
};

// group, tested, 양품률, 직행률, units, 최종 양품률, 재검사 합격 as the page's row shows them.
using Row = std::vector<std::string>;

struct YieldCase {
    const char* by;
    std::vector<Row> rows;
};

const YieldCase CASES[] = {
    {"station",
     {{"Y-A", "3", "66.7 %", "50.0 %", "2", "100.0 %", "1"},
      {"Y-B", "4", "50.0 %", "66.7 %", "3", "66.7 %", "0"}}},
    {"master",
     {{"<b>M-Y2</b>", "3", "33.3 %", "50.0 %", "2", "50.0 %", "0"},
      {"M-Y1", "4", "75.0 %", "66.7 %", "3", "100.0 %", "1"}}},
    {"shift",
     {{"2026-03-02 06:00–14:00", "4", "25.0 %", "33.3 %", "3", "33.3 %", "0"},
      {"2026-03-02 14:00–22:00", "2", "100.0 %", "100.0 %", "2", "100.0 %", "0"},
      {"2026-03-02 22:00–06:00", "1", "100.0 %", "100.0 %", "1", "100.0 %", "0"}}},
    {"day", {{"2026-03-02", "7", "57.1 %", "60.0 %", "5", "80.0 %", "1"}}},
};

Row RowOf(const QJsonObject& row) {
    Row shown{row["group"].toString().toStdString(), std::to_string(row["tested"].toInt())};
    for (const char* name : {"yield", "first_pass"}) {
        shown.push_back(row[name].toString().toStdString());
    }
    shown.push_back(std::to_string(row["units"].toInt()));
    shown.push_back(row["final_yield"].toString().toStdString());
    shown.push_back(std::to_string(row["passed_on_retest"].toInt()));
    return shown;
}

std::vector<Row> RowsOf(const std::string& body) {
    std::vector<Row> rows;
    for (const QJsonValue& row :
         QJsonDocument::fromJson(QByteArray::fromStdString(body))["rows"].toArray()) {
        rows.push_back(RowOf(row.toObject()));
    }
    return rows;
}

TEST_F(PlantSuite, YieldCountsAsTheStationsHistory) {
    for (const YieldRecord& r : RECORDS) {
        const std::string at = std::string("2026-03-02T") + r.clock + ":00.000+00:00";
        server_->Value(
            "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, "
            "model_no, outcome, stopped_at, attempt, reference) VALUES (gen_random_uuid()::text, "
            "'" +
            std::string(r.station) + "', '" + at + "', '" + at + "', '" + r.serial + "', '" +
            r.master + "', 'X', '" + r.outcome + "', '', " + std::to_string(r.attempt) + ", " +
            std::to_string(r.reference) + ")");
    }
    StartService(SettingsHere());
    const std::string period = "from=2026-03-02&to=2026-03-03T00:00";
    for (const char* path : {"/api/yield?", "/api/yield.csv?"}) {
        const httplib::Result refused = Client().Get(path + period);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 401) << path;
    }
    AddUser("yield_viewer", "viewer");
    const httplib::Headers session = SessionOf("yield_viewer");
    for (const YieldCase& c : CASES) {
        SCOPED_TRACE(c.by);
        const httplib::Result result =
            Client().Get("/api/yield?" + period + "&by=" + c.by, session);
        ASSERT_TRUE(result);
        ASSERT_EQ(result->status, 200) << result->body;
        EXPECT_EQ(result->body.find("<"), std::string::npos) << "markup in " << result->body;
        const QJsonObject answer =
            QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
        EXPECT_EQ(RowsOf(result->body), c.rows);
        Row total = RowOf(answer["total"].toObject());
        total[0] = "2026-03-02";
        EXPECT_EQ(total, CASES[3].rows[0]);
        EXPECT_EQ(answer["pareto"]["ng_units"].toInt(), 2);
    }
    // A period within one shift is that shift's row alone.
    const httplib::Result within =
        Client().Get("/api/yield?from=2026-03-02T15:00&to=2026-03-02T16:00&by=shift", session);
    ASSERT_TRUE(within);
    EXPECT_EQ(RowsOf(within->body), std::vector<Row>({{"2026-03-02 14:00–22:00", "1", "100.0 %",
                                                       "100.0 %", "1", "100.0 %", "0"}}));
    // Once Y-B keeps shifts of its own, each row is one station's shift.
    server_->Value(
        "ALTER TABLE audit DISABLE TRIGGER audit_arrives; INSERT INTO audit (seq, at, station, "
        "user_name, role, action, object, before_value, after_value, reason, prev_hash, hash, "
        "code) VALUES (1, '2026-03-01T08:00:00', 'Y-B', 'kim', 'engineer', 'settings changed', "
        "'reference/shifts', '', '00:00, 12:00', '', '', 'h', ''); ALTER TABLE audit ENABLE "
        "TRIGGER audit_arrives");
    const httplib::Result shifts = Client().Get("/api/yield?" + period + "&by=shift", session);
    ASSERT_TRUE(shifts);
    const std::vector<Row> expected = {
        {"Y-B · 2026-03-02 00:00–12:00", "2", "0.0 %", "0.0 %", "1", "0.0 %", "0"},
        {"Y-B · 2026-03-02 12:00–00:00", "2", "100.0 %", "100.0 %", "2", "100.0 %", "0"},
        {"Y-A · 2026-03-02 06:00–14:00", "2", "50.0 %", "50.0 %", "2", "50.0 %", "0"},
        {"Y-A · 2026-03-02 14:00–22:00", "1", "100.0 %", "-", "1", "100.0 %", "0"}};
    EXPECT_EQ(RowsOf(shifts->body), expected);
    const httplib::Result csv = Client().Get("/api/yield.csv?" + period + "&by=master", session);
    ASSERT_TRUE(csv);
    EXPECT_NE(csv->body.find("\r\n<b>M-Y2</b>,3,33.3 %,"), std::string::npos) << csv->body;
    // S-5 tested again after midnight: a unit of each day, one unit of the two days together.
    server_->Value(
        "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, model_no, "
        "outcome, stopped_at, attempt, reference) VALUES (gen_random_uuid()::text, 'Y-B', "
        "'2026-03-03T00:10:00.000+00:00', '2026-03-03T00:10:00.000+00:00', 'S-5', 'M-Y1', 'X', "
        "'N.G', '', 2, 0)");
    const httplib::Result days =
        Client().Get("/api/yield?from=2026-03-02&to=2026-03-04T00:00&by=day", session);
    ASSERT_TRUE(days);
    EXPECT_EQ(
        RowsOf(days->body),
        std::vector<Row>({CASES[3].rows[0], {"2026-03-03", "1", "0.0 %", "-", "1", "0.0 %", "0"}}));
    Row whole =
        RowOf(QJsonDocument::fromJson(QByteArray::fromStdString(days->body))["total"].toObject());
    EXPECT_EQ(whole, Row({"", "8", "50.0 %", "60.0 %", "5", "60.0 %", "1"}));
}

}  // namespace
