// 관리도: a master's chart over the server's records equals the station's own computation of the
// same records; a reading without a tolerance has "규격 없음"; what a station wrote comes back as
// data; no answer without a session.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include "process/control_chart.h"
#include "tests/plant/plant_fixture.h"

namespace {

// 25 first tests alternate (area 10 and 12, frequency 5.00 and 5.02), then 15 are shifted (area
// 16, frequency 5.20): the run rules signal on the shift.
constexpr int FIRST_TESTS = 25;
constexpr int RECORDS = 40;

int AreaAt(int i) {
    return i < FIRST_TESTS ? 10 + 2 * (i % 2) : 16;
}
double FrequencyAt(int i) {
    return i < FIRST_TESTS ? 5.0 + 0.02 * (i % 2) : 5.2;
}

struct ChartsCase {
    const char* name;
    const char* master;
    const char* item;
    process::Item charted;
};

class ChartsTest : public PlantSuite, public ::testing::WithParamInterface<ChartsCase> {
  protected:
    static void Records(const std::string& master) {
        std::string quoted;
        for (const char c : master) {
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        }
        server_->Value(
            "INSERT INTO inspection (uuid, station, started_at, ended_at, serial, master, "
            "model_no, outcome, stopped_at, attempt, reference, area, phase, judge, "
            "master_version, ringing_frequency, damping) SELECT gen_random_uuid()::text, 'CH-1', "
            "t, t, 'C-' || i, '" +
            quoted +
            "', 'X', 'O.K', '', 1, 0, CASE WHEN i < 25 THEN "
            "10 + 2 * (i % 2) ELSE 16 END, 5, 20, repeat('ab', 32), CASE WHEN i < 25 THEN "
            "5.0 + 0.02 * (i % 2) ELSE 5.2 END, 0.5 FROM generate_series(0, 39) i, LATERAL "
            "(SELECT to_char(timestamp '2026-12-01 08:00' + i * interval '1 minute', "
            "'YYYY-MM-DD\"T\"HH24:MI:SS') || '.000+09:00' AS t) s");
    }
    // The station's chart of the same records.
    static process::Chart Expected() {
        std::vector<history::SeriesPoint> series;
        for (int i = 0; i < RECORDS; ++i) {
            series.push_back({i * 60LL, AreaAt(i), 5, 20, FrequencyAt(i), 0.5});
        }
        const std::span<const history::SeriesPoint> first(series.data(), FIRST_TESTS);
        return process::BuildChart(series, first, first, process::Baseline::FIRST_TESTS);
    }
};

TEST_P(ChartsTest, ChartsAsTheStationDoes) {
    StartService(SettingsHere());
    const ChartsCase& asked = GetParam();
    Records(asked.master);
    const std::string viewer = std::string("charts_") + asked.name;
    AddUser(viewer, "viewer");
    const httplib::Result result =
        Client().Get("/api/charts?master=" + QUrl::toPercentEncoding(asked.master).toStdString() +
                         "&item=" + asked.item + "&from=2026-12-01&to=2026-12-02T00:00",
                     SessionOf(viewer));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200);
    EXPECT_EQ(result->body.find("<"), std::string::npos) << "markup in " << result->body;
    const QJsonObject answer =
        QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
    EXPECT_EQ(answer["master"].toString().toStdString(), asked.master);
    EXPECT_EQ(answer["version_short"].toString(), "abababab");
    const process::ItemChart expected = Expected().Of(asked.charted);
    const QJsonObject limits = answer["limits"].toObject();
    EXPECT_NEAR(limits["cl"].toDouble(), expected.limits.centre, 1e-9);
    EXPECT_NEAR(limits["ucl"].toDouble(), expected.limits.ucl, 1e-9);
    EXPECT_NEAR(limits["lcl"].toDouble(), expected.limits.lcl, 1e-9);
    EXPECT_NEAR(limits["mr_ucl"].toDouble(), expected.limits.mr_ucl, 1e-9);
    EXPECT_EQ(answer["counts"]["tested"].toInt(), RECORDS);
    const QJsonArray listed = answer["signals"].toArray();
    ASSERT_FALSE(expected.signalled.empty());
    ASSERT_EQ(listed.size(), static_cast<qsizetype>(expected.signalled.size()));
    for (qsizetype k = 0; k < listed.size(); ++k) {  // newest first
        const process::Signal& signal =
            expected.signalled[expected.signalled.size() - 1 - static_cast<std::size_t>(k)];
        EXPECT_EQ(listed[k]["index"].toInt(), static_cast<int>(signal.index));
        EXPECT_EQ(listed[k]["rules"].toString().toStdString(), process::RuleNumbers(signal.rules));
        EXPECT_EQ(listed[k]["serial"].toString().toStdString(),
                  "C-" + std::to_string(signal.index));
    }
    if (!expected.specified) {
        EXPECT_EQ(answer["capability"].toString(), "규격 없음");
        return;
    }
    const QJsonObject cpk = answer["capability"]["cpk"].toObject();
    EXPECT_EQ(cpk["status"].toString(), "computed");
    EXPECT_NEAR(cpk["value"].toDouble(), expected.capability.cpk.value, 1e-9);
    EXPECT_EQ(cpk["count"].toInt(), static_cast<int>(expected.capability.cpk.count));
    EXPECT_NEAR(answer["capability"]["ppk"]["value"].toDouble(), expected.capability.ppk.value,
                1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Plant, ChartsTest,
    ::testing::Values(ChartsCase{"AreaShift", "M-SHIFT", "area", process::Item::AREA},
                      ChartsCase{"FrequencyShift", "M-WAVE", "frequency", process::Item::FREQUENCY},
                      ChartsCase{"Markup", "<img src=x onerror=alert('1')>", "area",
                                 process::Item::AREA}),
    [](const ::testing::TestParamInfo<ChartsCase>& info) { return info.param.name; });

TEST_F(PlantSuite, ChartsAreRefusedWithoutASession) {
    StartService(SettingsHere());
    for (const char* api : {"/api/charts?master=M", "/api/charts.csv?master=M"}) {
        const httplib::Result result = Client().Get(api);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 401) << api;
    }
    const httplib::Result page = Client().Get("/charts?master=M");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 302);
}

}  // namespace
