// 추적: every test of a serial at any station, oldest first, with both waves of 300 samples; what
// a station wrote comes back as data; no answer without a session.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include "tests/plant/plant_fixture.h"

namespace {

struct TracedRow {
    const char* station;
    const char* started_at;
    const char* outcome;
    int attempt;
};

struct TraceCase {
    const char* name;
    const char* serial;
    std::vector<TracedRow> rows;  // as inserted; the answer holds them by started_at
    std::vector<const char*> stations;
};

class TraceSuite : public PlantSuite {
  protected:
    // A record of `serial` with both waves: the standard all `level`, the measured a ramp.
    static void TracedRecord(const std::string& serial, const TracedRow& row) {
        server_->Value(
            "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, "
            "model_no, outcome, stopped_at, attempt, reference, area, phase, operator, "
            "master_version, standard_wave, measured_wave) SELECT gen_random_uuid()::text, '" +
            std::string(row.station) + "', '" + row.started_at + "', '" + row.started_at + "', " +
            Literal(serial) + ", 'M-T', 'X', '" + row.outcome + "', '', " +
            std::to_string(row.attempt) +
            ", 0, 12, 3, 'kim', repeat('ab', 32), "
            "decode(repeat('fb', 300), 'hex'), (SELECT string_agg(set_byte('\\x00'::bytea, 0, "
            "(i % 256)), ''::bytea ORDER BY i) FROM generate_series(0, 299) i)");
    }
    static std::string Literal(const std::string& text) {
        std::string quoted = "'";
        for (const char c : text) {
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        }
        return quoted + "'";
    }
};

class TraceTest : public TraceSuite, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(TraceTest, ListsTheSerialsTests) {
    StartService(SettingsHere());
    const TraceCase& trace = GetParam();
    for (const TracedRow& row : trace.rows) {
        TracedRecord(trace.serial, row);
    }
    const std::string viewer = std::string("trace_") + trace.name;
    AddUser(viewer, "viewer");
    const httplib::Result result =
        Client().Get("/api/trace?serial=" + QUrl::toPercentEncoding(trace.serial).toStdString(),
                     SessionOf(viewer));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200);
    EXPECT_EQ(result->body.find("<"), std::string::npos) << "markup in " << result->body;
    const QJsonObject answer =
        QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
    EXPECT_EQ(answer["serial"].toString().toStdString(), trace.serial);
    const QJsonArray tests = answer["tests"].toArray();
    ASSERT_EQ(tests.size(), static_cast<qsizetype>(trace.stations.size()));
    for (qsizetype i = 0; i < tests.size(); ++i) {
        const QJsonObject test = tests[i].toObject();
        EXPECT_EQ(test["station"].toString().toStdString(), trace.stations[static_cast<size_t>(i)]);
        EXPECT_EQ(test["master_version"].toString(), "abababab");
        EXPECT_EQ(test["operator"].toString(), "kim");
        EXPECT_EQ(test["area"].toInt(), 12);
        const QJsonArray standard = test["standard"].toArray();
        const QJsonArray measured = test["measured"].toArray();
        ASSERT_EQ(standard.size(), 300);
        ASSERT_EQ(measured.size(), 300);
        EXPECT_EQ(standard[0].toInt(), -5);
        EXPECT_EQ(measured[127].toInt(), 127);
        EXPECT_EQ(measured[128].toInt(), -128);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Plant, TraceTest,
    ::testing::Values(TraceCase{"TwoStationsOldestFirst",
                                "T-100",
                                {{"TR-B", "2026-12-10T09:00:05.000+09:00", "O.K", 2},
                                 {"TR-A", "2026-12-10T08:59:00.000+09:00", "N.G", 1}},
                                {"TR-A", "TR-B"}},
                      TraceCase{"Markup",
                                "<img src=x onerror=alert('1')>",
                                {{"TR-C", "2026-12-10T10:00:00.000+09:00", "O.K", 1}},
                                {"TR-C"}},
                      TraceCase{"Unknown", "T-NONE", {}, {}}),
    [](const ::testing::TestParamInfo<TraceCase>& info) { return info.param.name; });

// The table as CSV by the history's cell rules: a serial that reads as a formula is kept as text.
TEST_F(TraceSuite, ExportsTheTableAsCsv) {
    StartService(SettingsHere());
    TracedRecord("=1+2, \"x\"", {"TR-CSV", "2026-12-10T11:00:00.000+09:00", "N.G", 2});
    AddUser("trace_csv", "viewer");
    const httplib::Result result =
        Client().Get("/api/trace.csv?serial=%3D1%2B2%2C%20%22x%22", SessionOf("trace_csv"));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200);
    EXPECT_EQ(
        result->body,
        "\xEF\xBB\xBF시리얼,스테이션,검사 시각,마스터,마스터 버전,시도,작업자,판정,면적,위상\r\n"
        "\"'=1+2, "
        "\"\"x\"\"\",TR-CSV,2026-12-10T11:00:00.000+09:00,M-T,abababab,2,kim,N.G,12,3\r\n");
}

TEST_F(PlantSuite, TraceIsRefusedWithoutASession) {
    StartService(SettingsHere());
    const httplib::Result api = Client().Get("/api/trace?serial=T-100");
    ASSERT_TRUE(api);
    EXPECT_EQ(api->status, 401);
    const httplib::Result page = Client().Get("/trace?serial=T-100");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 302);
}

}  // namespace
