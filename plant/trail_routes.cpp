// 변경 기록: GET /trail, the page (filled by /static/trail.js); GET /api/trail, a station's audit
// rows newest first (station, from, to, page) with whether its chain on the server holds, and for
// an administrator the plant users' own trail; GET /api/trail.csv, the period's rows.
#include <algorithm>
#include <cstdlib>

#include "plant/connection.h"
#include "plant/csv.h"
#include "plant/html.h"
#include "plant/json.h"
#include "plant/routes.h"
#include "plant/session.h"
#include "plant/trail_reads.h"

namespace plant {

namespace {

// The most rows the CSV file holds.
constexpr long long CSV_ROWS = 100000;

std::string RowJson(const trail::AuditRow& row) {
    return "{\"seq\":" + std::to_string(row.seq) + "," + JsonField("at", row.at) + "," +
           JsonField("user", row.user) + "," + JsonField("role", row.role) + "," +
           JsonField("action", row.action) + "," + JsonField("object", row.object) + "," +
           JsonField("before", row.before) + "," + JsonField("after", row.after) + "," +
           JsonField("reason", row.reason) + "," + JsonField("code", row.code) + "}";
}

std::string RowsJson(const std::vector<trail::AuditRow>& rows) {
    std::string json = "[";
    for (const trail::AuditRow& row : rows) {
        json += (json.size() > 1 ? "," : "") + RowJson(row);
    }
    return json + "]";
}

std::string CheckJson(const trail::TrailCheck& check) {
    const char* state = check.verdict == trail::TrailVerdict::HOLDS    ? "holds"
                        : check.verdict == trail::TrailVerdict::BROKEN ? "broken"
                                                                       : "unreadable";
    return "{" + JsonField("state", state) + "," + JsonField("text", check.text) +
           ",\"broken_seq\":" + std::to_string(check.broken_seq) + "}";
}

// What a request asks: the period, the station (the first that sent rows, unless named) and the
// page, counted from 1.
struct Asked {
    Period period;
    std::string station;
    long long page = 1;
    std::vector<std::string> stations;
};

// The request read against the server; nothing, with the answer made, for a period that is none
// or a server that cannot be read.
std::optional<Asked> Ask(QSqlDatabase& db, const httplib::Request& request,
                         httplib::Response& response) {
    Asked asked;
    asked.period = {request.get_param_value("from"), request.get_param_value("to")};
    asked.station = request.get_param_value("station");
    if (!ValidBound(asked.period.from) || !ValidBound(asked.period.to)) {
        response.status = 400;
        response.set_content(R"({"error":"period"})", "application/json");
        return std::nullopt;
    }
    asked.page = std::max(1LL, std::atoll(request.get_param_value("page").c_str()));
    std::optional<std::vector<std::string>> stations = ReadTrailStations(db);
    if (!stations) {
        return std::nullopt;
    }
    asked.stations = std::move(*stations);
    if (asked.station.empty() && !asked.stations.empty()) {
        asked.station = asked.stations.front();
    }
    return asked;
}

// The answer of /api/trail; empty when the server cannot be read.
std::string TrailJson(QSqlDatabase& db, const Asked& asked) {
    const std::optional<TrailPage> page = ReadTrailPage(
        db, asked.station, asked.period, (asked.page - 1) * TRAIL_PAGE_ROWS, TRAIL_PAGE_ROWS);
    if (!page) {
        return {};
    }
    std::string stations = "[";
    for (const std::string& station : asked.stations) {
        stations += (stations.size() > 1 ? "," : "") + JsonString(station);
    }
    std::string json =
        "{\"stations\":" + stations + "]," + JsonField("station", asked.station) +
        ",\"page\":" + std::to_string(asked.page) +
        ",\"page_rows\":" + std::to_string(TRAIL_PAGE_ROWS) +
        ",\"total\":" + std::to_string(page->total) + ",\"rows\":" + RowsJson(page->rows) +
        ",\"check\":" +
        (asked.station.empty()
             ? std::string("null")
             : CheckJson(trail::CheckServerCopy(db.connectionName().toStdString(), asked.station)));
    if (CurrentSession().role == "administrator") {
        const std::optional<PlantTrail> plant = ReadPlantTrail(db, TRAIL_PAGE_ROWS);
        if (!plant) {
            return {};
        }
        json += ",\"plant\":{\"total\":" + std::to_string(plant->page.total) +
                ",\"rows\":" + RowsJson(plant->page.rows) +
                ",\"check\":" + CheckJson(plant->check) + "}";
    }
    return json + "}";
}

std::vector<std::vector<std::string>> CsvRows(const std::string& station,
                                              const std::vector<trail::AuditRow>& rows) {
    std::vector<std::vector<std::string>> table = {{"스테이션", "순번", "시각", "사용자", "역할",
                                                    "동작", "대상", "이전 값", "새 값", "사유",
                                                    "코드"}};
    for (const trail::AuditRow& r : rows) {
        table.push_back({station, std::to_string(r.seq), r.at, r.user, r.role, r.action, r.object,
                         r.before, r.after, r.reason, r.code});
    }
    return table;
}

void Unreadable(httplib::Response& response) {
    DropThreadConnection();
    response.status = 503;
    response.set_content(R"({"error":"database"})", "application/json");
}

constexpr const char* TRAIL_BODY = R"html(<main>
<form class="trail" id="choice"><label>스테이션 <select name="station" id="station"></select></label>
<label>시작 <input type="date" name="from" id="from"></label>
<label>끝 <input type="date" name="to" id="to"></label>
<button type="submit">조회</button><a id="csv" hidden>CSV</a></form>
<p id="check" class="check"></p>
<div class="table-box"><table class="trail"><thead><tr><th>순번</th><th>시각</th><th>사용자</th>
<th>역할</th><th>동작</th><th>대상</th><th>이전 값</th><th>새 값</th><th>코드</th></tr></thead>
<tbody id="rows"></tbody></table></div>
<p class="pages"><button type="button" id="newer">이전</button> <span id="page"></span>
<button type="button" id="older">다음</button></p>
<p id="state"></p>
<section id="plant" hidden><h2>플랜트 사용자 변경 기록</h2><p id="plant-check" class="check"></p>
<div class="table-box"><table class="trail"><thead><tr><th>순번</th><th>시각 (UTC)</th>
<th>사용자</th><th>동작</th><th>대상</th><th>이전 값</th><th>새 값</th></tr></thead>
<tbody id="plant-rows"></tbody></table></div></section>
</main>
<script src="/static/api.js"></script>
<script src="/static/trail.js"></script>)html";

}  // namespace

void AddTrail(httplib::Server& server, const Settings& settings) {
    server.Get(
        "/api/trail", [&settings](const httplib::Request& request, httplib::Response& response) {
            std::optional<QSqlDatabase> db = ThreadConnection(settings);
            const std::optional<Asked> asked = db ? Ask(*db, request, response) : std::nullopt;
            if (response.status == 400) {
                return;
            }
            const std::string json = asked ? TrailJson(*db, *asked) : std::string();
            if (json.empty()) {
                Unreadable(response);
                return;
            }
            response.set_content(json, "application/json");
        });
    server.Get("/api/trail.csv", [&settings](const httplib::Request& request,
                                             httplib::Response& response) {
        std::optional<QSqlDatabase> db = ThreadConnection(settings);
        const std::optional<Asked> asked = db ? Ask(*db, request, response) : std::nullopt;
        if (response.status == 400) {
            return;
        }
        const std::optional<TrailPage> page =
            asked ? ReadTrailPage(*db, asked->station, asked->period, 0, CSV_ROWS) : std::nullopt;
        if (!page) {
            Unreadable(response);
            return;
        }
        SendCsv(response, CsvRows(asked->station, page->rows), "trail.csv");
    });
    server.Get("/trail", [](const httplib::Request&, httplib::Response& response) {
        const std::string header =
            PageHeader("변경 기록", CurrentSession().user, CurrentSession().role);
        response.set_content(Page("변경 기록", header + TRAIL_BODY), "text/html; charset=utf-8");
    });
}

}  // namespace plant
