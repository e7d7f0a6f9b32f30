// 라인 현황: GET /line, the page (its rows filled by /static/line.js), GET /api/line, its JSON, and
// GET /api/line.csv, its table.
#include <QDateTime>

#include "history/counts.h"
#include "plant/connection.h"
#include "plant/csv.h"
#include "plant/html.h"
#include "plant/json.h"
#include "plant/line_reads.h"
#include "plant/routes.h"
#include "plant/session.h"
#include "plant/shared_answer.h"

namespace plant {

namespace {

std::string StationJson(const StationLine& line) {
    const std::string stop = line.line_stop ? "{" + JsonField("code", line.line_stop->code) + "," +
                                                  JsonField("rule", line.line_stop->rule) + "}"
                                            : "null";
    return "{" + JsonField("station", line.station) + "," + JsonField("last_seen", line.last_seen) +
           "," + JsonField("master", line.master) + "," + JsonField("serial", line.serial) + "," +
           JsonField("verdict", line.verdict) + "," + JsonField("verdict_at", line.verdict_at) +
           "," + JsonField("shift_from", line.shift.from_at) + "," +
           JsonField("shift_to", line.shift.to_at) +
           ",\"tested\":" + std::to_string(line.counts.tested) + "," +
           JsonField("yield", history::YieldText(line.counts)) + "," +
           JsonField("first_pass", history::FirstPassText(line.counts)) + ",\"line_stop\":" + stop +
           ",\"drift\":" + (line.drift.empty() ? "null" : JsonString(line.drift)) +
           ",\"wave_alarm\":" + (line.wave_alarm ? "true" : "false") + "}";
}

constexpr const char* LINE_BODY = R"html(<main>
<div class="table-box"><table class="line"><thead><tr><th>스테이션</th><th>마지막 수신</th><th>마스터</th><th>시리얼</th><th>최근 판정</th>
<th>판정 시각</th><th>교대</th><th>검사 수</th><th>양품률</th><th>직행률</th><th>라인 정지</th>
<th>추세 경고</th><th>파형 경고</th></tr></thead><tbody id="stations"></tbody></table></div>
<p id="state"></p>
<p><a href="/api/line.csv" download>CSV</a></p>
</main>
<script src="/static/api.js"></script>
<script src="/static/line.js"></script>)html";

// The table as the page shows it, the times as the server and the stations wrote them.
std::vector<std::vector<std::string>> LineRows(const std::vector<StationLine>& lines) {
    std::vector<std::vector<std::string>> rows = {
        {"스테이션", "마지막 수신", "마스터", "시리얼", "최근 판정", "판정 시각", "교대 시작",
         "교대 끝", "검사 수", "양품률", "직행률", "라인 정지", "추세 경고", "파형 경고"}};
    for (const StationLine& l : lines) {
        rows.push_back({l.station, l.last_seen, l.master, l.serial, l.verdict, l.verdict_at,
                        l.shift.from_at, l.shift.to_at, std::to_string(l.counts.tested),
                        history::YieldText(l.counts), history::FirstPassText(l.counts),
                        l.line_stop ? "정지 (" + l.line_stop->code + ")" : "", l.drift,
                        l.wave_alarm ? "파형 경고" : ""});
    }
    return rows;
}

// The stations' rows; nothing, with the answer 503 made, when the server cannot be read.
std::optional<std::vector<StationLine>> LinesRead(const Settings& settings,
                                                  httplib::Response& response) {
    std::optional<QSqlDatabase> db = ThreadConnection(settings);
    auto lines = db ? ReadLine(*db, QDateTime::currentDateTime()) : std::nullopt;
    if (!lines) {
        DropThreadConnection();
        response.status = 503;
        response.set_content(R"({"error":"database"})", "application/json");
    }
    return lines;
}

}  // namespace

void AddLine(httplib::Server& server, const Settings& settings, Arrivals* arrivals) {
    auto shared = std::make_shared<SharedAnswer>(arrivals);
    server.Get("/api/line",
               [&settings, shared](const httplib::Request&, httplib::Response& response) {
                   const auto read = [&settings, &response](std::string* json) {
                       const auto lines = LinesRead(settings, response);
                       if (!lines) {
                           return false;
                       }
                       *json = "{\"stations\":[";
                       for (const StationLine& line : *lines) {
                           *json += (json->back() == '[' ? "" : ",") + StationJson(line);
                       }
                       *json += "]}";
                       return true;
                   };
                   std::string json;
                   if (shared->Get(read, &json)) {
                       response.set_content(json, "application/json");
                   }
               });
    server.Get("/api/line.csv", [&settings](const httplib::Request&, httplib::Response& response) {
        if (const auto lines = LinesRead(settings, response)) {
            SendCsv(response, LineRows(*lines), "line.csv");
        }
    });
    server.Get("/line", [](const httplib::Request&, httplib::Response& response) {
        const std::string header =
            PageHeader("라인 현황", CurrentSession().user, CurrentSession().role);
        response.set_content(Page("라인 현황", header + LINE_BODY), "text/html; charset=utf-8");
    });
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/line");
    });
}

}  // namespace plant
