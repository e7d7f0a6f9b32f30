#include "process/control_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "quality/accumulator.h"
#include "wave/judgement.h"

namespace process {

namespace {

constexpr quality::Rule RULES[] = {
    quality::Rule::BEYOND_3_SIGMA, quality::Rule::TWO_OF_THREE_BEYOND_2_SIGMA,
    quality::Rule::FOUR_OF_FIVE_BEYOND_1_SIGMA, quality::Rule::EIGHT_ON_ONE_SIDE};

// The EWMA of the wave's readings, with the drift watch's weight and limit.
class EwmaBuilder {
  public:
    EwmaBuilder(const quality::ControlLimits& limits, EwmaChart* chart)
        : limits_(limits), chart_(chart) {
        chart_->available = limits.Available() && limits.sigma > 0;
        const double half_width =
            wave::EWMA_L * limits.sigma * std::sqrt(wave::EWMA_LAMBDA / (2.0 - wave::EWMA_LAMBDA));
        chart_->ucl = limits.centre + half_width;
        chart_->lcl = limits.centre - half_width;
    }

    void Add(std::size_t index, long long at, double value) {
        if (!chart_->available) {
            return;
        }
        const bool beyond = average_.Add((value - limits_.centre) / limits_.sigma);
        chart_->drawn.push_back({index, limits_.centre + limits_.sigma * average_.Value()});
        if (beyond) {
            chart_->signalled.push_back({index, at, value, {}});
        }
    }

  private:
    quality::ControlLimits limits_;
    EwmaChart* chart_;
    wave::Ewma average_;
};

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

// The run rules' signal of one point, counted by rule.
void AddSignal(ItemChart* chart, quality::RunRuleChecker* checker, std::size_t index, long long at,
               double value) {
    const quality::RuleSet rules = checker->Add(value);
    if (rules.Empty()) {
        return;
    }
    chart->signalled.push_back({index, at, value, rules});
    for (std::size_t r = 0; r < 4; ++r) {
        chart->rule_counts[r] += rules.Has(RULES[r]) ? 1 : 0;
    }
}

ItemChart BuildItem(std::span<const history::SeriesPoint> series,
                    std::span<const history::SeriesPoint> baseline,
                    const std::vector<quality::Stretch>& stretches, Item item) {
    ItemChart chart;
    chart.specified = item == Item::AREA || item == Item::PHASE;
    quality::RunningStats base;
    for (const history::SeriesPoint& point : baseline) {
        if (const std::optional<double> value = ValueOf(point, item)) {
            base.Add(*value);
        }
    }
    chart.limits = quality::ComputeLimits(base);
    quality::RunRuleChecker checker(chart.limits.centre, chart.limits.sigma);
    EwmaBuilder ewma(chart.limits, &chart.ewma);
    const std::size_t capability_from = stretches.empty() ? 0 : stretches.back().begin;
    quality::Accumulator newest_stretch;
    chart.drawn.reserve(series.size());
    chart.mr_drawn.reserve(series.size());
    std::optional<double> previous;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const std::optional<double> value = ValueOf(series[i], item);
        if (!value) {
            ++chart.unfitted;
            continue;
        }
        chart.minimum = previous ? std::min(chart.minimum, *value) : *value;
        chart.maximum = previous ? std::max(chart.maximum, *value) : *value;
        chart.drawn.push_back({i, *value});
        if (previous) {
            chart.mr_drawn.push_back({i, std::fabs(*value - *previous)});
        }
        previous = value;
        if (chart.specified && i >= capability_from) {
            newest_stretch.Add(static_cast<int>(*value));
        }
        if (chart.limits.Available()) {
            AddSignal(&chart, &checker, i, series[i].at, *value);
            if (!chart.specified) {
                ewma.Add(i, series[i].at, *value);
            }
        }
    }
    chart.capability_from = capability_from;
    chart.usl = stretches.empty() ? 0 : stretches.back().usl;
    if (chart.specified) {
        chart.capability = quality::ComputeCapability(newest_stretch, chart.usl);
    }
    Thin(&chart.drawn, DRAWN_POINTS);
    Thin(&chart.mr_drawn, DRAWN_POINTS);
    Thin(&chart.ewma.drawn, DRAWN_POINTS);
    return chart;
}

}  // namespace

std::optional<double> ValueOf(const history::SeriesPoint& point, Item item) {
    switch (item) {
        case Item::AREA:
            return point.area;
        case Item::PHASE:
            return point.phase;
        case Item::FREQUENCY:
            return point.frequency;
        case Item::DAMPING:
            return point.damping;
    }
    return std::nullopt;
}

const ItemChart& Chart::Of(Item item) const {
    switch (item) {
        case Item::AREA:
            return area;
        case Item::PHASE:
            return phase;
        case Item::FREQUENCY:
            return frequency;
        case Item::DAMPING:
            return damping;
    }
    return area;
}

Chart BuildChart(std::span<const history::SeriesPoint> series,
                 std::span<const history::SeriesPoint> baseline, Baseline kind) {
    return BuildChart(series, baseline, baseline, kind);
}

Chart BuildChart(std::span<const history::SeriesPoint> series,
                 std::span<const history::SeriesPoint> baseline,
                 std::span<const history::SeriesPoint> wave_baseline, Baseline kind) {
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
    const bool whole = kind == Baseline::FILTER;
    const std::span<const history::SeriesPoint> base = whole ? series : baseline;
    const std::span<const history::SeriesPoint> wave_base = whole ? series : wave_baseline;
    chart.area = BuildItem(series, base, chart.stretches, Item::AREA);
    chart.phase = BuildItem(series, base, chart.stretches, Item::PHASE);
    chart.frequency = BuildItem(series, wave_base, chart.stretches, Item::FREQUENCY);
    chart.damping = BuildItem(series, wave_base, chart.stretches, Item::DAMPING);
    return chart;
}

bool ReadChart(const history::Reader& reader, const history::Filter& filter, Baseline kind,
               Chart* chart) {
    std::vector<history::SeriesPoint> series;
    return ReadChart(reader, filter, kind, chart, &series);
}

bool ReadChart(const history::Reader& reader, const history::Filter& filter, Baseline kind,
               Chart* chart, std::vector<history::SeriesPoint>* read) {
    std::vector<history::SeriesPoint>& series = *read;
    std::vector<history::SeriesPoint> baseline, wave_baseline;
    std::string version;
    if (!history::ReadSeries(reader, filter, &series, &version)) {
        return false;
    }
    if (kind == Baseline::FIRST_TESTS && !series.empty() &&
        (!history::ReadBaseline(reader, filter.master, version, quality::DEFAULT_BASELINE_POINTS,
                                &baseline) ||
         !history::ReadWaveBaseline(reader, filter.master, version,
                                    quality::DEFAULT_BASELINE_POINTS, &wave_baseline))) {
        return false;
    }
    *chart = BuildChart(series, baseline, wave_baseline, kind);
    chart->master = filter.master;
    chart->version = version;
    return true;
}

std::string ShortVersion(const std::string& version) {
    return version.empty() ? "-" : version.substr(0, 8);
}

const char* ItemText(Item item) {
    switch (item) {
        case Item::AREA:
            return "면적";
        case Item::PHASE:
            return "위상";
        case Item::FREQUENCY:
            return "주파수";
        case Item::DAMPING:
            return "감쇠";
    }
    return "";
}

std::string ValueText(const ItemChart& of, double value) {
    char text[32];
    std::snprintf(text, sizeof text, of.specified ? "%.0f" : "%.4f", value);
    return text;
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
