// 관리도: GET /charts, the page (its charts drawn by /static/charts.js with uPlot), GET
// /api/charts, a master's I-MR chart of one reading over a period as the station computes it, and
// GET /api/charts.csv, every point charted.
#include <QDateTime>
#include <cmath>
#include <cstdio>
#include <map>

#include "plant/charts_reads.h"
#include "plant/connection.h"
#include "plant/csv.h"
#include "plant/html.h"
#include "plant/json.h"
#include "plant/routes.h"
#include "plant/session.h"

namespace plant {

namespace {

// The signals the page lists, newest first, as many as the station's chart panel lists.
constexpr std::size_t SIGNALS_LISTED = 200;
constexpr int DEFAULT_DAYS = 7;
constexpr const char* ITEM_NAMES[] = {"area", "phase", "frequency", "damping"};

struct ChartsAsked {
    history::Filter filter;
    process::Item item = process::Item::AREA;
    std::string from;  // the period as the page shows it, "YYYY-MM-DDTHH:MM"
    std::string to;
};

// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM" as a local time; invalid for anything else.
QDateTime LocalTime(const std::string& text) {
    const QString given = QString::fromStdString(text);
    return given.size() == 10 ? QDateTime(QDate::fromString(given, Qt::ISODate), QTime(0, 0))
                              : QDateTime::fromString(given, QStringLiteral("yyyy-MM-ddTHH:mm"));
}

// The query's choices; false when the item or the period is none. Without a period, the last
// seven days to the end of today.
bool Asked(const httplib::Request& request, ChartsAsked* asked) {
    const std::string item = request.get_param_value("item");
    bool known = item.empty();
    for (const process::Item each : process::ITEMS) {
        if (item == ITEM_NAMES[static_cast<int>(each)]) {
            asked->item = each;
            known = true;
        }
    }
    const QDateTime end = QDateTime(QDate::currentDate().addDays(1), QTime(0, 0));
    const std::string from_text = request.get_param_value("from");
    const std::string to_text = request.get_param_value("to");
    const QDateTime to = to_text.empty() ? end : LocalTime(to_text);
    const QDateTime from = from_text.empty() ? to.addDays(-DEFAULT_DAYS) : LocalTime(from_text);
    if (!known || !from.isValid() || !to.isValid() || from >= to) {
        return false;
    }
    asked->from = from.toString(QStringLiteral("yyyy-MM-ddTHH:mm")).toStdString();
    asked->to = to.toString(QStringLiteral("yyyy-MM-ddTHH:mm")).toStdString();
    asked->filter.from_at = asked->from + ":00";
    asked->filter.to_at = asked->to + ":00";
    asked->filter.master = request.get_param_value("master");
    asked->filter.station = request.get_param_value("station");
    return true;
}

std::string Number(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string Texts(const std::vector<std::string>& texts) {
    std::string json = "[";
    for (const std::string& text : texts) {
        json += (json.size() > 1 ? "," : "") + JsonString(text);
    }
    return json + "]";
}

std::string When(long long at) {
    return history::WallClockText(at, "%Y-%m-%d %H:%M:%S");
}

std::string LimitsJson(const quality::ControlLimits& limits) {
    if (!limits.Available()) {
        return "null";
    }
    return "{\"cl\":" + Number(limits.centre) + ",\"ucl\":" + Number(limits.ucl) +
           ",\"lcl\":" + Number(limits.lcl) + ",\"sigma\":" + Number(limits.sigma) +
           ",\"mr_cl\":" + Number(limits.mr_centre) + ",\"mr_ucl\":" + Number(limits.mr_ucl) +
           ",\"mr_lcl\":" + Number(limits.mr_lcl) + ",\"count\":" + std::to_string(limits.count) +
           "}";
}

// The points drawn, thinned as the station thins them: their places and values in two arrays.
std::string DrawnJson(const std::vector<process::ChartPoint>& drawn) {
    std::string index = "[", value = "[";
    for (const process::ChartPoint& point : drawn) {
        index += (index.size() > 1 ? "," : "") + std::to_string(point.index);
        value += (value.size() > 1 ? "," : "") + Number(point.value);
    }
    return "{\"index\":" + index + "],\"value\":" + value + "]}";
}

std::string SignalsJson(const ChartRead& read, const process::ItemChart& of) {
    std::string json = "[";
    for (std::size_t k = of.signalled.size(); k > 0 && k + SIGNALS_LISTED > of.signalled.size();
         --k) {
        const process::Signal& signal = of.signalled[k - 1];
        json += (json.size() > 1 ? "," : "") + std::string("{\"index\":") +
                std::to_string(signal.index) + "," + JsonField("time", When(signal.at)) + "," +
                JsonField("serial", read.series[signal.index].serial) +
                ",\"value\":" + Number(signal.value) + "," +
                JsonField("value_text", process::ValueText(of, signal.value)) + "," +
                JsonField("rules", process::RuleNumbers(signal.rules)) + "}";
    }
    return json + "]";
}

std::string IndexJson(const quality::CapabilityIndex& index) {
    const char* status = index.status == quality::IndexStatus::COMPUTED         ? "computed"
                         : index.status == quality::IndexStatus::NOT_COMPUTABLE ? "not_computable"
                                                                                : "too_few_records";
    return std::string("{\"status\":\"") + status + "\",\"value\":" + Number(index.value) +
           ",\"count\":" + std::to_string(index.count) + "}";
}

// Against the judgement setting of the newest stretch, or the station's "규격 없음" for a reading
// without a tolerance.
std::string CapabilityJson(const process::ItemChart& of) {
    if (!of.specified) {
        return JsonString("규격 없음");
    }
    return "{\"usl\":" + std::to_string(of.usl) +
           ",\"from_index\":" + std::to_string(of.capability_from) +
           ",\"ppk\":" + IndexJson(of.capability.ppk) + ",\"cpk\":" + IndexJson(of.capability.cpk) +
           ",\"percentile_index\":" + IndexJson(of.capability.percentile_index) +
           ",\"min_records\":" + std::to_string(quality::MIN_PERCENTILE_RECORDS) + "}";
}

// What the station states under its chart: the records charted, those left out for want of a
// fit, the signals by rule and of the EWMA.
std::string CountsJson(const process::Chart& chart, const process::ItemChart& of) {
    std::string rules = "[";
    for (const long long count : of.rule_counts) {
        rules += (rules.size() > 1 ? "," : "") + std::to_string(count);
    }
    return "{\"tested\":" + std::to_string(chart.count) +
           ",\"unfitted\":" + std::to_string(of.unfitted) +
           ",\"signals\":" + std::to_string(of.signalled.size()) + ",\"rules\":" + rules +
           "],\"ewma\":" +
           (!of.specified && of.ewma.available ? std::to_string(of.ewma.signalled.size())
                                               : std::string("null")) +
           "}";
}

std::string ChartJson(const ChartsAsked& asked, const ChartRead& read) {
    const process::Chart& chart = read.chart;
    const process::ItemChart& of = chart.Of(asked.item);
    std::vector<std::string> times;
    for (const process::ChartPoint& point : of.drawn) {
        times.push_back(When(chart.times[point.index]));
    }
    std::vector<std::string> rule_texts;
    for (const unsigned rule : {1u, 2u, 3u, 4u}) {
        rule_texts.push_back(process::RuleText(static_cast<quality::Rule>(rule)));
    }
    return JsonField("version", chart.version) + "," +
           JsonField("version_short", process::ShortVersion(chart.version)) + "," +
           JsonField("item_text", process::ItemText(asked.item)) +
           ",\"specified\":" + (of.specified ? "true" : "false") +
           ",\"limits\":" + LimitsJson(of.limits) + ",\"individuals\":" + DrawnJson(of.drawn) +
           ",\"times\":" + Texts(times) + ",\"moving_ranges\":" + DrawnJson(of.mr_drawn) +
           ",\"signals\":" + SignalsJson(read, of) + ",\"rule_texts\":" + Texts(rule_texts) +
           ",\"capability\":" + CapabilityJson(of) + ",\"counts\":" + CountsJson(chart, of);
}

constexpr const char* CHARTS_BODY = R"html(<main>
<form class="charts" id="choices"><label>마스터 <select name="master" id="master"></select></label>
<label>항목 <select name="item" id="item"><option value="area">면적</option>
<option value="phase">위상</option><option value="frequency">주파수</option>
<option value="damping">감쇠</option></select></label>
<label>스테이션 <select name="station" id="station"><option value="">전체</option></select></label>
<label>부터 <input type="datetime-local" name="from" id="from"></label>
<label>까지 <input type="datetime-local" name="to" id="to"></label>
<button type="submit">조회</button> <a id="csv" hidden>CSV</a></form>
<p id="title" class="chart-title"></p>
<div class="chart-pair"><figure id="i-chart"><figcaption>개별값 (I)</figcaption></figure>
<figure id="mr-chart"><figcaption>이동범위 (MR)</figcaption></figure></div>
<div class="chart-facts"><section><h2>공정 능력</h2><div id="capability"></div></section>
<section><h2>규칙 위반 신호</h2><div id="counts"></div></section></div>
<div class="table-box"><table class="signals"><thead><tr><th>순서</th><th>검사 시각</th>
<th>시리얼</th><th>값</th><th>규칙</th></tr></thead><tbody id="signals"></tbody></table></div>
<div id="rules" class="rule-texts"></div>
<p id="state"></p>
</main>
<link rel="stylesheet" href="/static/uplot/uPlot.min.css">
<script src="/static/uplot/uPlot.iife.min.js"></script>
<script src="/static/api.js"></script>
<script src="/static/charts.js"></script>)html";

void Unavailable(httplib::Response& response) {
    DropThreadConnection();
    response.status = 503;
    response.set_content(R"({"error":"database"})", "application/json");
}

void Refuse(httplib::Response& response) {
    response.status = 400;
    response.set_content(R"({"error":"query"})", "application/json");
}

// Every point charted, oldest first, with the rules it breaks ("EWMA" for the average's limit).
std::vector<std::vector<std::string>> PointRows(const ChartsAsked& asked, const ChartRead& read) {
    const process::ItemChart& of = read.chart.Of(asked.item);
    std::map<std::size_t, std::string> broken;
    for (const process::Signal& signal : of.signalled) {
        broken[signal.index] = process::RuleNumbers(signal.rules);
    }
    for (const process::Signal& signal : of.ewma.signalled) {
        std::string& text = broken[signal.index];
        text += text.empty() ? "EWMA" : ", EWMA";
    }
    std::vector<std::vector<std::string>> rows = {
        {"순서", "검사 시각", "시리얼", process::ItemText(asked.item), "신호"}};
    for (std::size_t i = 0; i < read.series.size(); ++i) {
        const history::SeriesPoint& point = read.series[i];
        if (const std::optional<double> value = process::ValueOf(point, asked.item)) {
            const auto signal = broken.find(i);
            rows.push_back({std::to_string(i), When(point.at), point.serial,
                            process::ValueText(of, *value),
                            signal == broken.end() ? std::string() : signal->second});
        }
    }
    return rows;
}

}  // namespace

void AddCharts(httplib::Server& server, const Settings& settings) {
    server.Get(
        "/api/charts", [&settings](const httplib::Request& request, httplib::Response& response) {
            ChartsAsked asked;
            if (!Asked(request, &asked)) {
                return Refuse(response);
            }
            std::optional<QSqlDatabase> db = ThreadConnection(settings);
            const auto choices = db ? ReadChartChoices(*db, asked.filter) : std::nullopt;
            if (!choices) {
                return Unavailable(response);
            }
            if (asked.filter.master.empty() && !choices->masters.empty()) {
                asked.filter.master = choices->masters.front();
            }
            std::string json = "{" + JsonField("master", asked.filter.master) + "," +
                               JsonField("item", ITEM_NAMES[static_cast<int>(asked.item)]) + "," +
                               JsonField("station", asked.filter.station) + "," +
                               JsonField("from", asked.from) + "," + JsonField("to", asked.to) +
                               ",\"masters\":" + Texts(choices->masters) +
                               ",\"stations\":" + Texts(choices->stations);
            if (!asked.filter.master.empty()) {
                const auto read = ReadMasterChart(*db, asked.filter);
                if (!read) {
                    return Unavailable(response);
                }
                json += "," + ChartJson(asked, *read);
            }
            response.set_content(json + "}", "application/json");
        });
    server.Get("/api/charts.csv",
               [&settings](const httplib::Request& request, httplib::Response& response) {
                   ChartsAsked asked;
                   if (!Asked(request, &asked) || asked.filter.master.empty()) {
                       return Refuse(response);
                   }
                   std::optional<QSqlDatabase> db = ThreadConnection(settings);
                   const auto read = db ? ReadMasterChart(*db, asked.filter) : std::nullopt;
                   if (!read) {
                       return Unavailable(response);
                   }
                   SendCsv(response, PointRows(asked, *read), "charts.csv");
               });
    server.Get("/charts", [](const httplib::Request&, httplib::Response& response) {
        const std::string header =
            PageHeader("관리도", CurrentSession().user, CurrentSession().role);
        response.set_content(Page("관리도", header + CHARTS_BODY), "text/html; charset=utf-8");
    });
}

}  // namespace plant
