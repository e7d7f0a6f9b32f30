#include "process/control_chart.h"

#include <algorithm>

#include "quality/accumulator.h"
#include "quality/moving_range.h"

namespace process {

namespace {

constexpr quality::Rule RULES[] = {
    quality::Rule::BEYOND_3_SIGMA, quality::Rule::TWO_OF_THREE_BEYOND_2_SIGMA,
    quality::Rule::FOUR_OF_FIVE_BEYOND_1_SIGMA, quality::Rule::EIGHT_ON_ONE_SIDE};

int ValueOf(const history::SeriesPoint& point, Item item) {
    return item == Item::AREA ? point.area : point.phase;
}

// Keeps the lowest and the highest value of each run of `per` points, in their order: the
// drawing keeps every excursion however many records it stands for.
void Thin(std::vector<ChartPoint>* points, std::size_t most) {
    if (points->size() <= most) {
        return;
    }
    const std::size_t per = (points->size() + most / 2 - 1) / (most / 2);
    std::vector<ChartPoint> kept;
    for (std::size_t begin = 0; begin < points->size(); begin += per) {
        const auto first = points->begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last =
            points->begin() + static_cast<std::ptrdiff_t>(std::min(begin + per, points->size()));
        const auto [low, high] = std::minmax_element(
            first, last,
            [](const ChartPoint& a, const ChartPoint& b) { return a.value < b.value; });
        kept.push_back(low->index < high->index ? *low : *high);
        if (low != high) {
            kept.push_back(low->index < high->index ? *high : *low);
        }
    }
    *points = std::move(kept);
}

ItemChart BuildItem(std::span<const history::SeriesPoint> series,
                    std::span<const history::SeriesPoint> baseline,
                    const std::vector<quality::Stretch>& stretches, Item item) {
    ItemChart chart;
    quality::RunningStats base;
    for (const history::SeriesPoint& point : baseline) {
        base.Add(ValueOf(point, item));
    }
    chart.limits = quality::ComputeLimits(base);
    quality::RunRuleChecker checker(chart.limits.centre, chart.limits.sigma);
    const std::size_t capability_from = stretches.empty() ? 0 : stretches.back().begin;
    quality::Accumulator newest_stretch;
    chart.drawn.reserve(series.size());
    chart.mr_drawn.reserve(series.size());
    for (std::size_t i = 0; i < series.size(); ++i) {
        const int value = ValueOf(series[i], item);
        chart.minimum = i == 0 ? value : std::min(chart.minimum, value);
        chart.maximum = i == 0 ? value : std::max(chart.maximum, value);
        chart.drawn.push_back({i, static_cast<double>(value)});
        if (i > 0) {
            chart.mr_drawn.push_back({i, static_cast<double>(quality::MovingRange(
                                             ValueOf(series[i - 1], item), value))});
        }
        if (i >= capability_from) {
            newest_stretch.Add(value);
        }
        if (!chart.limits.Available()) {
            continue;
        }
        const quality::RuleSet rules = checker.Add(value);
        if (!rules.Empty()) {
            chart.signalled.push_back({i, series[i].at, value, rules});
            for (std::size_t r = 0; r < 4; ++r) {
                chart.rule_counts[r] += rules.Has(RULES[r]) ? 1 : 0;
            }
        }
    }
    chart.capability_from = capability_from;
    chart.usl = stretches.empty() ? 0 : stretches.back().usl;
    chart.capability = quality::ComputeCapability(newest_stretch, chart.usl);
    Thin(&chart.drawn, DRAWN_POINTS);
    Thin(&chart.mr_drawn, DRAWN_POINTS);
    return chart;
}

}  // namespace

Chart BuildChart(std::span<const history::SeriesPoint> series,
                 std::span<const history::SeriesPoint> baseline, Baseline kind) {
    Chart chart;
    chart.baseline = kind;
    chart.count = series.size();
    chart.times.reserve(series.size());
    std::vector<quality::UslReading> limits;
    limits.reserve(series.size());
    for (const history::SeriesPoint& point : series) {
        chart.times.push_back(point.at);
        limits.push_back({0, point.judge});
    }
    chart.stretches = quality::SplitByUsl(limits);
    const std::span<const history::SeriesPoint> base = kind == Baseline::FILTER ? series : baseline;
    chart.area = BuildItem(series, base, chart.stretches, Item::AREA);
    chart.phase = BuildItem(series, base, chart.stretches, Item::PHASE);
    return chart;
}

bool ReadChart(const history::Reader& reader, const history::Filter& filter, Baseline kind,
               Chart* chart) {
    std::vector<history::SeriesPoint> series, baseline;
    std::string version;
    if (!history::ReadSeries(reader, filter, &series, &version)) {
        return false;
    }
    if (kind == Baseline::FIRST_TESTS && !series.empty() &&
        !history::ReadBaseline(reader, filter.master, version, quality::DEFAULT_BASELINE_POINTS,
                               &baseline)) {
        return false;
    }
    *chart = BuildChart(series, baseline, kind);
    chart->master = filter.master;
    chart->version = version;
    return true;
}

std::string ShortVersion(const std::string& version) {
    return version.empty() ? "-" : version.substr(0, 8);
}

const char* RuleText(quality::Rule rule) {
    switch (rule) {
        case quality::Rule::BEYOND_3_SIGMA:
            return "규칙 1: 한 점이 3σ 밖";
        case quality::Rule::TWO_OF_THREE_BEYOND_2_SIGMA:
            return "규칙 2: 연속 3점 중 2점이 같은 쪽 2σ 밖";
        case quality::Rule::FOUR_OF_FIVE_BEYOND_1_SIGMA:
            return "규칙 3: 연속 5점 중 4점이 같은 쪽 1σ 밖";
        case quality::Rule::EIGHT_ON_ONE_SIDE:
            return "규칙 4: 연속 8점이 중심선 한쪽";
    }
    return "";
}

std::string RuleNumbers(quality::RuleSet rules) {
    std::string text;
    for (quality::Rule rule : RULES) {
        if (rules.Has(rule)) {
            text += (text.empty() ? "" : ", ") + std::to_string(static_cast<unsigned>(rule));
        }
    }
    return text;
}

}  // namespace process
