// 추적: GET /trace, the page (its tests and charts drawn by /static/trace.js with uPlot), and
// GET /api/trace?serial=SN, every test of that serial with both waves.
#include "plant/connection.h"
#include "plant/csv.h"
#include "plant/html.h"
#include "plant/json.h"
#include "plant/routes.h"
#include "plant/session.h"
#include "plant/trace_reads.h"

namespace plant {

namespace {

std::string Numbers(const std::vector<int>& samples) {
    std::string json = "[";
    for (const int sample : samples) {
        json += (json.size() > 1 ? "," : "") + std::to_string(sample);
    }
    return json + "]";
}

std::string Reading(const std::optional<int>& value) {
    return value ? std::to_string(*value) : "null";
}

std::string TestJson(const TracedTest& test) {
    return "{" + JsonField("station", test.station) + "," +
           JsonField("started_at", test.started_at) + "," + JsonField("master", test.master) + "," +
           JsonField("master_version", test.master_version) +
           ",\"attempt\":" + std::to_string(test.attempt) + "," +
           JsonField("operator", test.operator_name) + "," + JsonField("verdict", test.verdict) +
           ",\"area\":" + Reading(test.area) + ",\"phase\":" + Reading(test.phase) +
           ",\"standard\":" + Numbers(test.standard) + ",\"measured\":" + Numbers(test.measured) +
           "}";
}

std::string Optional(const std::optional<int>& value) {
    return value ? std::to_string(*value) : "";
}

// The table of the tests as the page shows it, each row with the serial, the times as the
// stations wrote them.
std::vector<std::vector<std::string>> TestRows(const std::string& serial,
                                               const std::vector<TracedTest>& tests) {
    std::vector<std::vector<std::string>> rows = {{"시리얼", "스테이션", "검사 시각", "마스터",
                                                   "마스터 버전", "시도", "작업자", "판정", "면적",
                                                   "위상"}};
    for (const TracedTest& t : tests) {
        rows.push_back({serial, t.station, t.started_at, t.master, t.master_version,
                        std::to_string(t.attempt), t.operator_name, t.verdict, Optional(t.area),
                        Optional(t.phase)});
    }
    return rows;
}

constexpr const char* TRACE_BODY = R"html(<main>
<form class="trace" method="get" action="/trace"><label>시리얼 <input name="serial" id="serial"
autocomplete="off" required></label><button type="submit">조회</button>
<a id="csv" hidden>CSV</a></form>
<div class="table-box"><table class="trace"><thead><tr><th>스테이션</th><th>검사 시각</th>
<th>마스터</th><th>마스터 버전</th><th>시도</th><th>작업자</th><th>판정</th><th>면적</th>
<th>위상</th></tr></thead><tbody id="tests"></tbody></table></div>
<p id="state"></p>
<div id="charts"></div>
</main>
<link rel="stylesheet" href="/static/uplot/uPlot.min.css">
<script src="/static/uplot/uPlot.iife.min.js"></script>
<script src="/static/api.js"></script>
<script src="/static/trace.js"></script>)html";

// The tests of the serial asked for; nothing, with the answer 503 made, when the server cannot be
// read.
std::optional<std::vector<TracedTest>> TestsAsked(const Settings& settings,
                                                  const httplib::Request& request,
                                                  httplib::Response& response) {
    std::optional<QSqlDatabase> db = ThreadConnection(settings);
    auto tests = db ? ReadTrace(*db, request.get_param_value("serial")) : std::nullopt;
    if (!tests) {
        DropThreadConnection();
        response.status = 503;
        response.set_content(R"({"error":"database"})", "application/json");
    }
    return tests;
}

}  // namespace

void AddTrace(httplib::Server& server, const Settings& settings) {
    server.Get(
        "/api/trace", [&settings](const httplib::Request& request, httplib::Response& response) {
            const auto tests = TestsAsked(settings, request, response);
            if (!tests) {
                return;
            }
            std::string json =
                "{" + JsonField("serial", request.get_param_value("serial")) + ",\"tests\":[";
            for (const TracedTest& test : *tests) {
                json += (json.back() == '[' ? "" : ",") + TestJson(test);
            }
            response.set_content(json + "]}", "application/json");
        });
    server.Get("/api/trace.csv", [&settings](const httplib::Request& request,
                                             httplib::Response& response) {
        if (const auto tests = TestsAsked(settings, request, response)) {
            SendCsv(response, TestRows(request.get_param_value("serial"), *tests), "trace.csv");
        }
    });
    server.Get("/trace", [](const httplib::Request&, httplib::Response& response) {
        const std::string header = PageHeader("추적", CurrentSession().user, CurrentSession().role);
        response.set_content(Page("추적", header + TRACE_BODY), "text/html; charset=utf-8");
    });
}

}  // namespace plant
