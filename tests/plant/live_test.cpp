// The live pages: a record the server keeps is told on the event stream of an open page.
#include <atomic>
#include <chrono>

#include "plant/shared_answer.h"
#include "tests/plant/plant_fixture.h"

namespace {

TEST_F(PlantSuite, EventStreamTellsARecordAsItArrives) {
    StartService(SettingsHere());
    AddUser("live_viewer", "viewer");
    const httplib::Headers session = SessionOf("live_viewer");
    // Waited for whole: the stream may hand the event over in pieces.
    const std::string event = "event: record\ndata: {\"station\":\"LIVE-1\"}\n\n";
    std::atomic<bool> told{false};
    std::string received;
    std::thread page([&] {
        httplib::Client stream("127.0.0.1", Port());
        stream.set_read_timeout(30);
        stream.Get("/api/events", session, [&](const char* data, size_t length) {
            received.append(data, length);
            told = received.find(event) != std::string::npos;
            return !told;
        });
    });
    for (int second = 0; second < 20 && !told; ++second) {
        Record("LIVE-1", "M-01", "O.K");
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (!told) {
        StopService();  // ends the stream
    }
    page.join();
    EXPECT_NE(received.find(event), std::string::npos) << received;
}

// The pages share one read of 라인 현황 until a record arrives; a failed read is not kept.
TEST(SharedAnswerTest, ReadsAgainOnlyAfterAnArrivalOrAFailure) {
    struct Ask {
        bool told_before;  // a record arrived since the last page asked
        bool read_fails;
        bool read;  // the server is read for this page
        bool answered;
    };
    const Ask asks[] = {{false, false, true, true}, {false, false, false, true},
                        {true, false, true, true},  {false, false, false, true},
                        {true, true, true, false},  {false, false, true, true}};
    plant::Arrivals arrivals;
    plant::SharedAnswer shared(&arrivals);
    int reads = 0;
    for (const Ask& ask : asks) {
        if (ask.told_before) {
            arrivals.Tell("S-1");
        }
        const int before = reads;
        std::string answer;
        const bool answered = shared.Get(
            [&](std::string* read) {
                *read = "read " + std::to_string(++reads);
                return !ask.read_fails;
            },
            &answer);
        EXPECT_EQ(reads > before, ask.read) << "ask " << (&ask - asks);
        EXPECT_EQ(answered, ask.answered) << "ask " << (&ask - asks);
    }
}

}  // namespace
