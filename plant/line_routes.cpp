// 라인 현황: GET /line, the page (its rows filled by /static/line.js), and GET /api/line, its JSON.
#include <QDateTime>

#include "history/counts.h"
#include "plant/connection.h"
#include "plant/html.h"
#include "plant/json.h"
#include "plant/line_reads.h"
#include "plant/routes.h"
#include "plant/session.h"

namespace plant {

namespace {

std::string Field(const char* name, const std::string& value) {
    return std::string("\"") + name + "\":" + JsonString(value);
}

std::string StationJson(const StationLine& line) {
    const std::string stop = line.line_stop ? "{" + Field("code", line.line_stop->code) + "," +
                                                  Field("rule", line.line_stop->rule) + "}"
                                            : "null";
    return "{" + Field("station", line.station) + "," + Field("last_seen", line.last_seen) + "," +
           Field("master", line.master) + "," + Field("serial", line.serial) + "," +
           Field("verdict", line.verdict) + "," + Field("verdict_at", line.verdict_at) + "," +
           Field("shift_from", line.shift.from_at) + "," + Field("shift_to", line.shift.to_at) +
           ",\"tested\":" + std::to_string(line.counts.tested) + "," +
           Field("yield", history::YieldText(line.counts)) + "," +
           Field("first_pass", history::FirstPassText(line.counts)) + ",\"line_stop\":" + stop +
           ",\"wave_alarm\":" + (line.wave_alarm ? "true" : "false") + ",\"drift\":\"deferred\"}";
}

constexpr const char* LINE_BODY = R"html(<main>
<div class="table-box"><table class="line"><thead><tr><th>스테이션</th><th>마지막 수신</th><th>마스터</th><th>시리얼</th><th>최근 판정</th>
<th>판정 시각</th><th>교대</th><th>검사 수</th><th>양품률</th><th>직행률</th><th>라인 정지</th>
<th>파형 경고</th></tr></thead><tbody id="stations"></tbody></table></div>
<p id="state"></p>
</main>
<script src="/static/line.js"></script>)html";

}  // namespace

void AddLine(httplib::Server& server, const Settings& settings) {
    server.Get("/api/line", [&settings](const httplib::Request&, httplib::Response& response) {
        std::optional<QSqlDatabase> db = ThreadConnection(settings);
        const auto lines = db ? ReadLine(*db, QDateTime::currentDateTime()) : std::nullopt;
        if (!lines) {
            DropThreadConnection();
            response.status = 503;
            response.set_content(R"({"error":"database"})", "application/json");
            return;
        }
        std::string json = "{\"stations\":[";
        for (const StationLine& line : *lines) {
            json += (json.back() == '[' ? "" : ",") + StationJson(line);
        }
        response.set_content(json + "]}", "application/json");
    });
    server.Get("/line", [](const httplib::Request&, httplib::Response& response) {
        const std::string header = "<header><h1>라인 현황</h1><span class=\"user\">" +
                                   HtmlText(CurrentSession().user) + "</span></header>\n";
        response.set_content(Page("라인 현황", header + LINE_BODY), "text/html; charset=utf-8");
    });
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/line");
    });
}

}  // namespace plant
