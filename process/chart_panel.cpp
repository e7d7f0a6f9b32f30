// The chart panel: the filter's master charted over every production record of the filter, the
// signals listed newest first, a chosen signal's rules named and ringed on the chart.
#include <optional>
#include <string>
#include <vector>

#include "history/history_query.h"
#include "history/process_query.h"
#include "process/chart_image.h"
#include "process/control_chart.h"
#include "process/process_panel.h"

int chartHandle = 0;

namespace {

// The view ring's choices.
constexpr int VIEW_AREA = 0;
constexpr int VIEW_PHASE = 1;
constexpr int VIEW_PARETO = 2;
constexpr int VIEW_FREQUENCY = 3;
constexpr int VIEW_DAMPING = 4;
constexpr int VIEW_FREQUENCY_EWMA = 5;
constexpr int VIEW_DAMPING_EWMA = 6;

int return_panel = 0;
history::Reader chart_reader;
history::Filter chart_filter;
process::Chart charted;
process::Baseline read_baseline = process::Baseline::FIRST_TESTS;
std::optional<history::Pareto> pareto;
std::vector<std::size_t> listed;  // the signal of each table row

void Warn(const char* text) {
    MessagePopup(WARNING_TITLE, text);
}

int View() {
    int view = VIEW_AREA;
    GetCtrlVal(chartHandle, CHART_ITEM, &view);
    return view;
}

process::Item ItemOf(int view) {
    switch (view) {
        case VIEW_PHASE:
            return process::Item::PHASE;
        case VIEW_FREQUENCY:
        case VIEW_FREQUENCY_EWMA:
            return process::Item::FREQUENCY;
        case VIEW_DAMPING:
        case VIEW_DAMPING_EWMA:
            return process::Item::DAMPING;
        default:
            return process::Item::AREA;
    }
}

// The EWMA of an item that has one; any other view its I-MR chart.
bool EwmaOf(int view) {
    return (view == VIEW_FREQUENCY_EWMA || view == VIEW_DAMPING_EWMA) &&
           charted.Of(ItemOf(view)).ewma.available;
}

const std::vector<process::Signal>& SignalsOf(int view) {
    const process::ItemChart& of = charted.Of(ItemOf(view));
    return EwmaOf(view) ? of.ewma.signalled : of.signalled;
}

void Picture(bool written) {
    if (!written ||
        DisplayImageFile(chartHandle, CHART_PICTURE, process::PictureFile().c_str()) != 0) {
        Warn("관리도를 그릴 수 없습니다.\n임시 폴더의 빈 자리를 확인하십시요.");
    }
}

void ShowRule(const std::string& text) {
    SetCtrlVal(chartHandle, CHART_RULE, text.c_str());
}

std::string When(long long at) {
    return history::WallClockText(at, "%m-%d %H:%M:%S");
}

void ListSignals(const process::ItemChart& of, const std::vector<process::Signal>& signalled) {
    listed.clear();
    DeleteTableRows(chartHandle, CHART_SIGNALS, 1, -1);
    for (std::size_t k = signalled.size(); k > 0 && listed.size() < CHART_SIGNAL_ROWS; --k) {
        listed.push_back(k - 1);
    }
    InsertTableRows(chartHandle, CHART_SIGNALS, -1, static_cast<int>(listed.size()),
                    VAL_USE_MASTER_CELL_TYPE);
    for (int r = 0; r < static_cast<int>(listed.size()); ++r) {
        const process::Signal& signal = signalled[listed[static_cast<std::size_t>(r)]];
        SetTableCellVal(chartHandle, CHART_SIGNALS, MakePoint(1, r + 1), When(signal.at).c_str());
        if (of.specified) {
            SetTableCellVal(chartHandle, CHART_SIGNALS, MakePoint(2, r + 1),
                            static_cast<int>(signal.value));
        } else {
            SetTableCellVal(chartHandle, CHART_SIGNALS, MakePoint(2, r + 1),
                            process::ValueText(of, signal.value).c_str());
        }
        SetTableCellVal(chartHandle, CHART_SIGNALS, MakePoint(3, r + 1),
                        signal.rules.Empty() ? "EWMA" : process::RuleNumbers(signal.rules).c_str());
    }
}

// What the rule line says of a chart with no signal chosen.
std::string Summary(const process::ItemChart& of, const std::vector<process::Signal>& signalled) {
    if (charted.count == 0) {
        return "조건에 맞는 생산 검사 기록이 없습니다.";
    }
    if (!of.limits.Available()) {
        return "기준 구간의 검사가 2건보다 적어 관리 한계를 정할 수 없습니다.";
    }
    if (signalled.empty()) {
        return "규칙 위반 신호가 없습니다.";
    }
    return "신호 " + std::to_string(signalled.size()) +
           "건: 표에서 하나를 고르면 그 규칙과 점을 보여 줍니다.";
}

void Show() {
    const int view = View();
    if (view == VIEW_PARETO) {
        listed.clear();
        DeleteTableRows(chartHandle, CHART_SIGNALS, 1, -1);
        if (!pareto) {
            SetMouseCursor(VAL_HOUR_GLASS_CURSOR);
            history::Pareto read;
            const bool ok = history::ReadPareto(chart_reader, chart_filter, &read);
            SetMouseCursor(VAL_DEFAULT_CURSOR);
            if (!ok) {
                Warn("검사 이력을 읽을 수 없습니다.");
                return;
            }
            pareto = std::move(read);
        }
        ShowRule("N.G 대수 " + std::to_string(pareto->ng_units) +
                 " (같은 시리얼은 한 대로 셉니다), 큰 것부터, 꺾은선은 누적 비율");
        Picture(process::WriteParetoPicture(*pareto));
        return;
    }
    const process::ItemChart& of = charted.Of(ItemOf(view));
    ListSignals(of, SignalsOf(view));
    ShowRule(Summary(of, SignalsOf(view)));
    Picture(process::WriteChartPicture(charted, ItemOf(view), std::nullopt, EwmaOf(view)));
}

// Reads the chart for the baseline the ring holds; false (and the operator told) when the
// history cannot be read.
bool ReadChosenChart() {
    int baseline = 0;
    GetCtrlVal(chartHandle, CHART_BASELINE, &baseline);
    read_baseline = baseline == 1 ? process::Baseline::FILTER : process::Baseline::FIRST_TESTS;
    SetMouseCursor(VAL_HOUR_GLASS_CURSOR);
    process::Chart read;
    const bool ok = process::ReadChart(chart_reader, chart_filter, read_baseline, &read);
    SetMouseCursor(VAL_DEFAULT_CURSOR);
    if (!ok) {
        Warn("검사 이력을 읽을 수 없습니다.");
        return false;
    }
    charted = std::move(read);
    std::string title = chart_filter.master;
    if (!charted.version.empty()) {
        title += " (버전 " + process::ShortVersion(charted.version) + ")";
    }
    title += "   " + chart_filter.from + " ~ " + chart_filter.to;
    SetCtrlVal(chartHandle, CHART_MASTER, title.c_str());
    return true;
}

void ShowChosenSignal(void*) {
    Point cell;
    GetActiveTableCell(chartHandle, CHART_SIGNALS, &cell);
    const int view = View();
    if (view == VIEW_PARETO || cell.y < 1 || cell.y > static_cast<int>(listed.size())) {
        return;
    }
    const std::size_t chosen = listed[static_cast<std::size_t>(cell.y - 1)];
    const process::Signal& signal = SignalsOf(view)[chosen];
    std::string text = history::WallClockText(signal.at, "%Y-%m-%d %H:%M:%S") + "  " +
                       process::ItemText(ItemOf(view)) + " " +
                       process::ValueText(charted.Of(ItemOf(view)), signal.value) + ":";
    if (signal.rules.Empty()) {
        text += "  EWMA가 관리 한계 밖";
    }
    for (quality::Rule rule :
         {quality::Rule::BEYOND_3_SIGMA, quality::Rule::TWO_OF_THREE_BEYOND_2_SIGMA,
          quality::Rule::FOUR_OF_FIVE_BEYOND_1_SIGMA, quality::Rule::EIGHT_ON_ONE_SIDE}) {
        if (signal.rules.Has(rule)) {
            text += std::string("  ") + process::RuleText(rule);
        }
    }
    ShowRule(text);
    Picture(process::WriteChartPicture(charted, ItemOf(view), chosen, EwmaOf(view)));
}

bool LoadChartPanel() {
    if (chartHandle > 0) {
        return true;
    }
    chartHandle = LoadPanel(0, "surge.uir", CHART);
    if (chartHandle < 0) {
        chartHandle = 0;
        return false;
    }
    SetCtrlAttribute(chartHandle, CHART_SIGNALS, ATTR_TABLE_EDITABLE, 0);
    return true;
}

}  // namespace

void Open_chart_panel(int panel, const history::Reader& reader, const history::Filter& filter) {
    if (filter.master.empty()) {
        Warn("관리도를 볼 마스터를 조회 조건의 \"마스터\"에 먼저 입력하십시요.");
        return;
    }
    if (!LoadChartPanel()) {
        Warn("관리도 화면을 불러올 수 없습니다.");
        return;
    }
    chart_reader = reader;
    chart_filter = filter;
    pareto.reset();
    if (!ReadChosenChart()) {
        return;
    }
    return_panel = panel;
    HidePanel(panel);
    DisplayPanel(chartHandle);
    Show();
}

int Chart_show(int, int control, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    if (control == CHART_BASELINE && !ReadChosenChart()) {
        return 0;
    }
    Show();
    return 0;
}

int Chart_signals(int, int, int event, void*, int, int) {
    if (event == EVENT_LEFT_CLICK) {
        PostDeferredCall(ShowChosenSignal, nullptr);
    }
    return 0;
}

int Chart_quit(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    HidePanel(chartHandle);
    DisplayPanel(return_panel);
    return 0;
}

void ResetChartPanel() {
    if (chartHandle > 0) {
        DiscardPanel(chartHandle);
    }
    chartHandle = 0;
    return_panel = 0;
    chart_reader = {};
    chart_filter = {};
    charted = {};
    pareto.reset();
    listed.clear();
}
