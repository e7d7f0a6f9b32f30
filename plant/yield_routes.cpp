// 수율: GET /yield, the page (its table and Pareto drawn by /static/yield.js), GET /api/yield, the
// counts of a period grouped by station, master, shift or day with its N.G Pareto, and
// GET /api/yield.csv, the table (or with table=pareto the Pareto) as a file.
#include <QDateTime>

#include "history/counts.h"
#include "plant/connection.h"
#include "plant/csv.h"
#include "plant/html.h"
#include "plant/json.h"
#include "plant/routes.h"
#include "plant/session.h"
#include "plant/yield_reads.h"

namespace plant {

namespace {

const QString AT_FORMAT = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
constexpr const char* PARETO_KEYS[] = {"master", "station", "hour", "operator"};
constexpr const char* PARETO_TITLES[] = {"마스터별", "검사기별", "시간대별", "작업자별"};

// "YYYY-MM-DDTHH:MM" or "YYYY-MM-DD" as a local time to the second; `fallback` for no text, ""
// for a text that is neither.
std::string AtOf(const std::string& text, const QDateTime& fallback) {
    if (text.empty()) {
        return fallback.toString(AT_FORMAT).toStdString();
    }
    const QString asked = QString::fromStdString(text);
    QDateTime at = QDateTime::fromString(asked, QStringLiteral("yyyy-MM-ddTHH:mm"));
    if (!at.isValid()) {
        const QDate day = QDate::fromString(asked, QStringLiteral("yyyy-MM-dd"));
        at = day.isValid() ? QDateTime(day, QTime(0, 0)) : QDateTime();
    }
    return at.isValid() ? at.toString(AT_FORMAT).toStdString() : std::string();
}

// The period asked (today without one), or nothing for no period.
std::optional<history::Period> PeriodAsked(const httplib::Request& request) {
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    const history::Period period{AtOf(request.get_param_value("from"), today),
                                 AtOf(request.get_param_value("to"), today.addDays(1))};
    if (period.from_at.empty() || period.to_at.empty() || period.from_at >= period.to_at) {
        return std::nullopt;
    }
    return period;
}

std::string RowJson(const YieldRow& row) {
    return "{" + JsonField("group", row.group) +
           ",\"tested\":" + std::to_string(row.counts.tested) + "," +
           JsonField("yield", history::YieldText(row.counts)) + "," +
           JsonField("first_pass", history::FirstPassText(row.counts)) +
           ",\"units\":" + std::to_string(row.units.units) + "," +
           JsonField("final_yield", history::FinalYieldText(row.units)) +
           ",\"passed_on_retest\":" + std::to_string(row.units.passed_on_retest) + "}";
}

std::string ParetoJson(const history::Pareto& pareto) {
    std::string kinds;
    for (std::size_t k = 0; k < pareto.by.size(); ++k) {
        std::string bars;
        for (const history::ParetoBar& bar : pareto.by[k]) {
            bars += std::string(bars.empty() ? "" : ",") + "{" + JsonField("label", bar.label) +
                    ",\"units\":" + std::to_string(bar.units) + "}";
        }
        kinds += std::string(kinds.empty() ? "" : ",") + "{" + JsonField("kind", PARETO_KEYS[k]) +
                 "," + JsonField("title", PARETO_TITLES[k]) + ",\"bars\":[" + bars + "]}";
    }
    return "{\"ng_units\":" + std::to_string(pareto.ng_units) + ",\"by\":[" + kinds + "]}";
}

std::string YieldJson(const history::Period& period, const std::string& by, const Yield& yield) {
    std::string rows;
    for (const YieldRow& row : yield.rows) {
        rows += (rows.empty() ? "" : ",") + RowJson(row);
    }
    return "{" + JsonField("from", period.from_at.substr(0, 16)) + "," +
           JsonField("to", period.to_at.substr(0, 16)) + "," + JsonField("by", by) +
           ",\"shift_now\":{" + JsonField("from", yield.shift_now.from_at.substr(0, 16)) + "," +
           JsonField("to", yield.shift_now.to_at.substr(0, 16)) + "},\"rows\":[" + rows +
           "],\"total\":" + RowJson(yield.total) + ",\"pareto\":" + ParetoJson(yield.pareto) + "}";
}

std::vector<std::string> TableRow(const std::string& group, const YieldRow& row) {
    return {group,
            std::to_string(row.counts.tested),
            history::YieldText(row.counts),
            history::FirstPassText(row.counts),
            std::to_string(row.units.units),
            history::FinalYieldText(row.units),
            std::to_string(row.units.passed_on_retest)};
}

// The table as the page shows it, the whole period's row last.
std::vector<std::vector<std::string>> TableRows(const std::string& by, const Yield& yield) {
    const std::string title = by == "master"  ? "마스터"
                              : by == "shift" ? "교대"
                              : by == "day"   ? "일자"
                                              : "스테이션";
    std::vector<std::vector<std::string>> rows = {
        {title, "검사 수", "양품률", "직행률", "대수", "최종 양품률", "재검사 합격"}};
    for (const YieldRow& row : yield.rows) {
        rows.push_back(TableRow(row.group, row));
    }
    rows.push_back(TableRow("합계", yield.total));
    return rows;
}

std::vector<std::vector<std::string>> ParetoRows(const history::Pareto& pareto) {
    std::vector<std::vector<std::string>> rows = {{"기준", "항목", "N.G 대수"}};
    for (std::size_t k = 0; k < pareto.by.size(); ++k) {
        for (const history::ParetoBar& bar : pareto.by[k]) {
            rows.push_back({PARETO_TITLES[k], bar.label, std::to_string(bar.units)});
        }
    }
    rows.push_back({"합계", "", std::to_string(pareto.ng_units)});
    return rows;
}

constexpr const char* YIELD_BODY = R"html(<main>
<form class="yield" id="period"><label>시작 <input type="datetime-local" name="from" id="from"></label>
<label>끝 <input type="datetime-local" name="to" id="to"></label>
<label>기준 <select name="by" id="by"><option value="station">스테이션</option>
<option value="master">마스터</option><option value="shift">교대</option>
<option value="day">일자</option></select></label>
<button type="submit">조회</button>
<span class="quick"><button type="button" data-quick="shift">교대</button>
<button type="button" data-quick="today">오늘</button>
<button type="button" data-quick="week">이번 주</button></span>
<a id="csv">CSV</a></form>
<div class="table-box"><table class="yield"><thead><tr><th id="group-title">스테이션</th>
<th>검사 수</th><th>양품률</th><th>직행률</th><th>대수</th><th>최종 양품률</th><th>재검사 합격</th>
</tr></thead><tbody id="rows"></tbody><tfoot id="total"></tfoot></table></div>
<p id="state"></p>
<h2 class="pareto">N.G 파레토 <span id="ng-units"></span> <a id="pareto-csv">CSV</a></h2>
<div id="pareto"></div>
</main>
<script src="/static/api.js"></script>
<script src="/static/yield.js"></script>)html";

// What the request asks: the period, the grouping and its name; nothing, with the answer 400
// made, for a period or grouping that is none.
struct Asked {
    history::Period period;
    YieldBy by;
    std::string by_name;
};
std::optional<Asked> AskedOf(const httplib::Request& request, httplib::Response& response) {
    const std::optional<history::Period> period = PeriodAsked(request);
    const std::string by_name =
        request.has_param("by") ? request.get_param_value("by") : std::string("station");
    const std::optional<YieldBy> by = YieldByName(by_name);
    if (!period || !by) {
        response.status = 400;
        response.set_content(period ? R"({"error":"by"})" : R"({"error":"period"})",
                             "application/json");
        return std::nullopt;
    }
    return Asked{*period, *by, by_name};
}

// The period's rows and Pareto; false, with the answer 503 made, when the server cannot be read.
bool ReadAsked(const Settings& settings, const Asked& asked, Yield* yield,
               httplib::Response& response) {
    std::optional<QSqlDatabase> db = ThreadConnection(settings);
    std::optional<Yield> read =
        db ? ReadYield(settings, *db, asked.period, asked.by, QDateTime::currentDateTime())
           : std::nullopt;
    if (!read) {
        DropThreadConnection();
        response.status = 503;
        response.set_content(R"({"error":"database"})", "application/json");
        return false;
    }
    *yield = std::move(*read);
    return true;
}

}  // namespace

void AddYield(httplib::Server& server, const Settings& settings) {
    server.Get("/api/yield",
               [&settings](const httplib::Request& request, httplib::Response& response) {
                   const std::optional<Asked> asked = AskedOf(request, response);
                   Yield yield;
                   if (asked && ReadAsked(settings, *asked, &yield, response)) {
                       response.set_content(YieldJson(asked->period, asked->by_name, yield),
                                            "application/json");
                   }
               });
    server.Get("/api/yield.csv",
               [&settings](const httplib::Request& request, httplib::Response& response) {
                   const std::optional<Asked> asked = AskedOf(request, response);
                   Yield yield;
                   if (!asked || !ReadAsked(settings, *asked, &yield, response)) {
                       return;
                   }
                   if (request.get_param_value("table") == "pareto") {
                       SendCsv(response, ParetoRows(yield.pareto), "yield-pareto.csv");
                   } else {
                       SendCsv(response, TableRows(asked->by_name, yield), "yield.csv");
                   }
               });
    server.Get("/yield", [](const httplib::Request&, httplib::Response& response) {
        const std::string header = PageHeader("수율", CurrentSession().user, CurrentSession().role);
        response.set_content(Page("수율", header + YIELD_BODY), "text/html; charset=utf-8");
    });
}

}  // namespace plant
