// GET /health answers without a login, and says whether the plant's server answers.
#include "tests/plant/plant_fixture.h"

namespace {

struct HealthCase {
    const char* name;
    const char* database;  // the database the service is given
    const char* answer;
};

class HealthTest : public PlantSuite, public ::testing::WithParamInterface<HealthCase> {};

TEST_P(HealthTest, AnswersWithoutALogin) {
    plant::Settings settings = SettingsHere();
    settings.db_name = GetParam().database;
    StartService(settings);
    const httplib::Result result = Client().Get("/health");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Plant, HealthTest,
    ::testing::Values(HealthCase{"Up", PgServer::DATABASE, R"({"service":true,"database":true})"},
                      HealthCase{"NoDatabase", "no_such_database",
                                 R"({"service":true,"database":false})"}),
    [](const ::testing::TestParamInfo<HealthCase>& info) { return info.param.name; });

}  // namespace
