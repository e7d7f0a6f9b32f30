// The history panel. A filter is applied in three reads: its counts, its newest page and a sample
// of its readings; paging walks on from the last record shown, so no read grows with the table.
#include "history/history_panel.h"
#include "records/database_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "access/login.h"
#include "history/counts.h"
#include "history/history_export.h"
#include "history/history_query.h"
#include "history/unit_count_job.h"
#include "records/history_switch.h"
#include "settings/settings_in_force.h"
#include "state/wave_plot.h"

int historyHandle = 0;

namespace {

constexpr int STANDARD_COLOUR = 0xFF0000;
constexpr int MEASURED_COLOUR = 0x0000FF;
constexpr int AREA_COLOUR = 0x1FAA3C;
constexpr int PHASE_COLOUR = 0xE07000;

// What the panel holds between its callbacks, from its opening to its quit.
struct PanelState {
    // Where the panel came from and what it reads.
    struct Opening {
        int return_panel = 0;
        // The station field was filled at the first opening on the server.
        bool station_set = false;
        history::Reader reader;
    } opening;
    // The filter applied and its figures.
    struct Applied {
        history::Filter filter;
        history::Counts counts;
        history::UnitCounts units;
        bool units_pending = false;  // the filter's units are being counted on their own thread
        long long record_count = 0;  // the filter's, incomplete cycles included
    } applied;
    // The page shown.
    struct Pages {
        std::vector<history::PageKey> starts;  // where each page shown so far began; empty: page 1
        std::vector<history::ListedRecord> rows;
    } pages;
    // The record chosen in the table and its waves.
    struct Chosen {
        long long id = 0;
        std::optional<Wave> standard;
        std::optional<Wave> measured;
    } chosen;
    // The plots on the waves' and the trend's graphs.
    struct Plots {
        int standard = 0;
        int measured = 0;
        int area = 0;
        int phase = 0;
    } plots;
};

PanelState state;

void Warn(const char* text) {
    MessagePopup(WARNING_TITLE, text);
}

std::string Today() {
    int month = 0, day = 0, year = 0;
    GetSystemDate(&month, &day, &year);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

const char* OutcomeLabel(const std::string& outcome) {
    return Outcome_of(outcome) == Outcome::INCOMPLETE ? "미완료" : outcome.c_str();
}

// The outcome ring's choices, after "any" at 0.
constexpr Outcome OUTCOME_CHOICES[] = {Outcome::OK, Outcome::NG, Outcome::INCOMPLETE};
constexpr int REFUSED_CHOICE = 4;     // "전송 거부", after the outcomes
constexpr int WAVE_ALARM_CHOICE = 5;  // "파형 경고": the records the station flagged

constexpr const char* COUNTING = "계산 중";

void ShowCounts() {
    const PanelState::Applied& applied = state.applied;
    char text[32];
    std::snprintf(text, sizeof text, "%lld", applied.counts.tested);
    SetCtrlVal(historyHandle, HISTORY_TESTED, text);
    std::snprintf(text, sizeof text, "%lld", applied.counts.ok);
    SetCtrlVal(historyHandle, HISTORY_OK, text);
    std::snprintf(text, sizeof text, "%lld", applied.counts.ng);
    SetCtrlVal(historyHandle, HISTORY_NG, text);
    SetCtrlVal(historyHandle, HISTORY_YIELD, history::YieldText(applied.counts).c_str());
    SetCtrlVal(historyHandle, HISTORY_FIRST_PASS, history::FirstPassText(applied.counts).c_str());
    std::snprintf(text, sizeof text, "%lld", applied.units.passed_on_retest);
    SetCtrlVal(historyHandle, HISTORY_FINAL_YIELD,
               applied.units_pending ? COUNTING : history::FinalYieldText(applied.units).c_str());
    SetCtrlVal(historyHandle, HISTORY_RETEST_PASSED, applied.units_pending ? COUNTING : text);
    SetCtrlVal(historyHandle, HISTORY_GATES, settings::GatesInForce(settings::Settings()).c_str());
}

void ClearChoice() {
    state.chosen.id = 0;
    Remove_plot(historyHandle, HISTORY_WAVES, &state.plots.standard);
    Remove_plot(historyHandle, HISTORY_WAVES, &state.plots.measured);
}

// Shows the page that begins after `after` (the newest page when null).
bool ShowPage(const history::PageKey* after) {
    std::vector<history::ListedRecord> page;
    if (!history::FetchPage(state.opening.reader, state.applied.filter, after, HISTORY_PAGE_ROWS,
                            &page)) {
        Warn("검사 이력을 읽을 수 없습니다.");
        return false;
    }
    state.pages.rows = std::move(page);
    ClearChoice();
    DeleteTableRows(historyHandle, HISTORY_TABLE, 1, -1);
    InsertTableRows(historyHandle, HISTORY_TABLE, -1, static_cast<int>(state.pages.rows.size()),
                    VAL_USE_MASTER_CELL_TYPE);
    for (int r = 0; r < static_cast<int>(state.pages.rows.size()); ++r) {
        const history::ListedRecord& record = state.pages.rows[r];
        std::string when = record.started_at.substr(0, 16);
        if (when.size() > 10) {
            when[10] = ' ';
        }
        SetTableCellVal(historyHandle, HISTORY_TABLE, MakePoint(1, r + 1), when.c_str());
        SetTableCellVal(historyHandle, HISTORY_TABLE, MakePoint(2, r + 1), record.serial.c_str());
        SetTableCellVal(historyHandle, HISTORY_TABLE, MakePoint(3, r + 1), record.master.c_str());
        SetTableCellVal(historyHandle, HISTORY_TABLE, MakePoint(4, r + 1),
                        OutcomeLabel(record.outcome));
        if (record.has_readings) {
            SetTableCellVal(historyHandle, HISTORY_TABLE, MakePoint(5, r + 1), record.area);
            SetTableCellVal(historyHandle, HISTORY_TABLE, MakePoint(6, r + 1), record.phase);
        }
        SetTableCellVal(historyHandle, HISTORY_TABLE, MakePoint(7, r + 1), record.station.c_str());
    }
    const long long pages =
        (state.applied.record_count + HISTORY_PAGE_ROWS - 1) / HISTORY_PAGE_ROWS;
    const long long shown = static_cast<long long>(state.pages.starts.size()) + 1;
    char text[48];
    std::snprintf(text, sizeof text, "%lld / %lld 쪽", pages == 0 ? 0 : shown, pages);
    SetCtrlVal(historyHandle, HISTORY_PAGE, text);
    SetCtrlAttribute(historyHandle, HISTORY_NEWER, ATTR_DIMMED, state.pages.starts.empty() ? 1 : 0);
    SetCtrlAttribute(historyHandle, HISTORY_OLDER, ATTR_DIMMED, shown < pages ? 0 : 1);
    return true;
}

void ShowTrend() {
    Remove_plot(historyHandle, HISTORY_TREND, &state.plots.area);
    Remove_plot(historyHandle, HISTORY_TREND, &state.plots.phase);
    std::vector<history::TrendPoint> trend;
    if (!history::SampleTrend(state.opening.reader, state.applied.filter,
                              state.applied.record_count, HISTORY_TREND_POINTS, &trend)) {
        Warn("검사 이력을 읽을 수 없습니다.");
        return;
    }
    // The axis is labelled with dates: its x are days since 1970-01-01.
    const int days = history::DaysBetween(state.applied.filter.from, state.applied.filter.to) + 1;
    const double first = history::DaysBetween("1970-01-01", state.applied.filter.from);
    SetAxisRange(historyHandle, HISTORY_TREND, VAL_XAXIS, first, first + days);
    if (trend.empty()) {
        return;
    }
    std::vector<double> x, area, phase;
    int top = 10;
    for (const history::TrendPoint& point : trend) {
        x.push_back(first + point.day);
        area.push_back(point.area);
        phase.push_back(point.phase);
        top = std::max(top, std::max(point.area, point.phase));
    }
    SetAxisRange(historyHandle, HISTORY_TREND, VAL_LEFT_YAXIS, 0.0, (top + 9) / 10 * 10);
    const int count = static_cast<int>(x.size());
    state.plots.area =
        PlotXY(historyHandle, HISTORY_TREND, x.data(), area.data(), count, AREA_COLOUR);
    state.plots.phase =
        PlotXY(historyHandle, HISTORY_TREND, x.data(), phase.data(), count, PHASE_COLOUR);
}

// Reads the filter off the panel. False (and the operator told) when the days are reversed.
bool ReadFilter() {
    char from[16] = {0}, to[16] = {0}, master[64] = {0}, serial[64] = {0}, station[64] = {0},
         operator_name[128] = {0};
    int outcome = 0;
    GetCtrlVal(historyHandle, HISTORY_FROM, from);
    GetCtrlVal(historyHandle, HISTORY_TO, to);
    GetCtrlVal(historyHandle, HISTORY_MASTER, master);
    GetCtrlVal(historyHandle, HISTORY_SERIAL, serial);
    GetCtrlVal(historyHandle, HISTORY_STATION, station);
    GetCtrlVal(historyHandle, HISTORY_OPERATOR, operator_name);
    GetCtrlVal(historyHandle, HISTORY_OUTCOME, &outcome);
    if (history::DaysBetween(from, to) < 0) {
        Warn("기간의 시작 날짜가 끝 날짜보다 늦습니다.\n날짜를 다시 선택하십시요.");
        return false;
    }
    history::Filter& filter = state.applied.filter;
    const auto trimmed = [](const char* text) {
        std::string s = text;
        s.erase(0, s.find_first_not_of(' '));
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    };
    filter.from = from;
    filter.to = to;
    filter.master = trimmed(master);
    filter.serial = trimmed(serial);
    filter.station = trimmed(station);
    filter.operator_name = trimmed(operator_name);
    filter.outcome.reset();
    if (outcome >= 1 && outcome <= static_cast<int>(std::size(OUTCOME_CHOICES))) {
        filter.outcome = OUTCOME_CHOICES[outcome - 1];
    }
    filter.refused = outcome == REFUSED_CHOICE;
    filter.wave_alarm = outcome == WAVE_ALARM_CHOICE;
    return true;
}

void UnitsCounted(bool ok, const history::UnitCounts& counted) {
    state.applied.units_pending = false;
    state.applied.units = counted;
    ShowCounts();
    if (!ok) {
        Warn("검사 이력을 읽을 수 없습니다.");
    }
}

void ApplyFilter() {
    PanelState::Applied& applied = state.applied;
    const history::Reader& reader = state.opening.reader;
    state.pages.starts.clear();
    applied.counts = {};
    applied.units = {};
    applied.record_count = 0;
    history::StopUnitCount(false);
    // Over months the units take seconds: they are counted on their own thread and shown when
    // they come, the rest of the filter meanwhile.
    SetMouseCursor(VAL_HOUR_GLASS_CURSOR);
    bool counted =
        history::CountRecords(reader, applied.filter, &applied.counts, &applied.record_count);
    applied.units_pending = counted && history::UnitsTakeLong(applied.filter) &&
                            history::StartUnitCount(reader, applied.filter, UnitsCounted);
    counted = counted && (applied.units_pending ||
                          history::CountUnits(reader, applied.filter, &applied.units));
    SetMouseCursor(VAL_DEFAULT_CURSOR);
    ShowCounts();
    // The reference is learned for one master: the filter must name it.
    SetCtrlAttribute(historyHandle, HISTORY_LEARN, ATTR_DIMMED,
                     applied.filter.master.empty() ? 1 : 0);
    if (!counted) {
        state.pages.rows.clear();
        ClearChoice();
        DeleteTableRows(historyHandle, HISTORY_TABLE, 1, -1);
        Warn("검사 이력을 읽을 수 없습니다.");
        return;
    }
    if (ShowPage(nullptr)) {
        ShowTrend();
    }
}

void ShowChosen(void*) {
    Point cell;
    GetActiveTableCell(historyHandle, HISTORY_TABLE, &cell);
    if (cell.y < 1 || cell.y > static_cast<int>(state.pages.rows.size())) {
        return;
    }
    ClearChoice();
    if (!history::FetchWaves(state.opening.reader, state.pages.rows[cell.y - 1].id,
                             &state.chosen.standard, &state.chosen.measured)) {
        Warn("검사 이력을 읽을 수 없습니다.");
        return;
    }
    state.chosen.id = state.pages.rows[cell.y - 1].id;
    std::string refusal;
    if (state.applied.filter.refused &&
        history::FetchRefusal(state.opening.reader, state.chosen.id, &refusal) &&
        !refusal.empty()) {
        MessagePopup("서버 거부", refusal.c_str());
    }
    if (state.chosen.measured) {
        Replace_plot(historyHandle, HISTORY_WAVES, &state.plots.measured, *state.chosen.measured,
                     MEASURED_COLOUR);
    }
    if (state.chosen.standard) {
        Replace_plot(historyHandle, HISTORY_WAVES, &state.plots.standard, *state.chosen.standard,
                     STANDARD_COLOUR);
    }
}

// Asks the operator for the file to write; false on cancel.
bool ChooseFile(const char* pattern, const char* title, char (&path)[512]) {
    path[0] = '\0';
    return FileSelectPopup("", pattern, pattern, title, VAL_SAVE_BUTTON, 0, 1, 1, 1, path) !=
           VAL_NO_FILE_SELECTED;
}

void WarnUnwritten(const char* path) {
    std::string text = "\"";
    text += path;
    text += "\" 파일을 저장할 수 없습니다.\n저장할 곳과 디스크의 빈 자리를 확인하십시요.";
    Warn(text.c_str());
}

bool LoadHistoryPanel() {
    if (historyHandle > 0) {
        return true;
    }
    historyHandle = LoadPanel(0, "surge.uir", HISTORY);
    if (historyHandle < 0) {
        historyHandle = 0;
        return false;
    }
    SetCtrlAttribute(historyHandle, HISTORY_TABLE, ATTR_TABLE_EDITABLE, 0);
    SetCtrlAttribute(historyHandle, HISTORY_WAVES, ATTR_GRID_VISIBLE, 1);
    SetCtrlAttribute(historyHandle, HISTORY_WAVES, ATTR_GRID_COLOR, 0xE0E0E0);
    SetCtrlAttribute(historyHandle, HISTORY_TREND, ATTR_GRID_VISIBLE, 1);
    SetCtrlAttribute(historyHandle, HISTORY_TREND, ATTR_GRID_COLOR, 0xE0E0E0);
    SetAxisRange(historyHandle, HISTORY_WAVES, VAL_LEFT_YAXIS, -128.0, 127.0);
    PlotLine(historyHandle, HISTORY_WAVES, 0.0, 0.0, WAVE_SAMPLES - 1, 0.0, 0xC0C0C0);
    access_control::GuardControl(historyHandle, HISTORY_AUDIT, access_control::Command::VIEW_AUDIT);
    return true;
}

}  // namespace

int History_open(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    if (records::HistoryOff()) {
        Warn("검사 이력이 꺼져 있습니다 (SURGE_HISTORY=off).");
        return 0;
    }
    if (!LoadHistoryPanel()) {
        Warn("검사 이력 화면을 불러올 수 없습니다.");
        return 0;
    }
    history::Source source = history::Source::File;
    if (!history::OpenHistoryReader(records::DATABASE_FILE, &state.opening.reader, &source)) {
        Warn("검사 이력 파일 \"inspection_history.db\"을 열 수 없습니다.");
        return 0;
    }
    if (source == history::Source::FileServerUnreachable) {
        Warn("검사 이력 서버를 읽을 수 없어 이 검사기의 기록을 보여 줍니다.");
    }
    // On the server the panel first shows this station; an empty field shows every station.
    if (source == history::Source::Server && !state.opening.station_set) {
        state.opening.station_set = true;
        SetCtrlVal(historyHandle, HISTORY_STATION, history::ThisStation().c_str());
    }
    // Every opening shows the week that ends today; the other conditions stay as they were.
    const std::string today = Today();
    SetCtrlVal(historyHandle, HISTORY_FROM, history::AddDays(today, -6).c_str());
    SetCtrlVal(historyHandle, HISTORY_TO, today.c_str());
    state.opening.return_panel = panel;
    if (ReadFilter()) {
        ApplyFilter();
    }
    HidePanel(panel);
    DisplayPanel(historyHandle);
    return 0;
}

int History_search(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT && ReadFilter()) {
        ApplyFilter();
    }
    return 0;
}

int History_newer(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT || state.pages.starts.empty()) {
        return 0;
    }
    state.pages.starts.pop_back();
    ShowPage(state.pages.starts.empty() ? nullptr : &state.pages.starts.back());
    return 0;
}

int History_older(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT || state.pages.rows.empty()) {
        return 0;
    }
    state.pages.starts.push_back({state.pages.rows.back().started_at, state.pages.rows.back().id});
    ShowPage(&state.pages.starts.back());
    return 0;
}

int History_table(int, int, int event, void*, int, int) {
    if (event == EVENT_LEFT_CLICK) {
        PostDeferredCall(ShowChosen, nullptr);
    }
    return 0;
}

int History_export(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    char path[512];
    if (!ChooseFile("*.csv", "검사 이력 저장", path)) {
        return 0;
    }
    // A year of records takes seconds to write.
    SetMouseCursor(VAL_HOUR_GLASS_CURSOR);
    const history::ExportResult exported =
        history::ExportRecords(state.opening.reader, state.applied.filter, path);
    SetMouseCursor(VAL_DEFAULT_CURSOR);
    if (exported == history::ExportResult::READ_FAILED) {
        Warn("검사 이력을 읽을 수 없어 목록을 저장하지 않았습니다.");
    } else if (exported == history::ExportResult::WRITE_FAILED) {
        WarnUnwritten(path);
    }
    return 0;
}

int History_export_waves(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    if (state.chosen.id == 0) {
        Warn("파형을 저장할 검사 기록을 표에서 먼저 선택하십시요.");
        return 0;
    }
    char path[512];
    if (ChooseFile("*.csv", "파형 저장", path) &&
        !history::ExportWaves(path, state.chosen.standard, state.chosen.measured)) {
        WarnUnwritten(path);
    }
    return 0;
}

int History_retested(int, int, int event, void*, int, int) {
    constexpr std::size_t MOST = 30;
    if (event != EVENT_COMMIT) {
        return 0;
    }
    std::vector<history::RetestedUnit> retested;
    if (!history::ListPassedOnRetest(state.opening.reader, state.applied.filter, &retested)) {
        Warn("검사 이력을 읽을 수 없습니다.");
        return 0;
    }
    std::string text = "재검사 합격 " + std::to_string(retested.size()) + " 개";
    for (std::size_t i = 0; i < retested.size() && i < MOST; ++i) {
        text += "\n" + retested[i].serial + "  검사 " + std::to_string(retested[i].tests) + "회  " +
                retested[i].last_at.substr(0, 16);
    }
    if (retested.size() > MOST) {
        text += "\n...";
    }
    MessagePopup("재검사 합격", text.c_str());
    return 0;
}

int History_quit(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    history::StopUnitCount(false);
    history::CloseReader(state.opening.reader);
    ClearChoice();
    state.pages.rows.clear();
    state.pages.starts.clear();
    DeleteTableRows(historyHandle, HISTORY_TABLE, 1, -1);
    HidePanel(historyHandle);
    DisplayPanel(state.opening.return_panel);
    return 0;
}

void Stop_history_panel() {
    history::StopUnitCount();
}

void Hide_history_panels() {
    if (historyHandle > 0) {
        HidePanel(historyHandle);
    }
    Hide_audit_panel();
}

bool CurrentHistoryFilter(history::Reader* current_reader, history::Filter* current) {
    const history::Filter applied = state.applied.filter;
    if (!ReadFilter()) {
        state.applied.filter = applied;
        return false;
    }
    if (!(state.applied.filter == applied)) {
        ApplyFilter();
    }
    *current_reader = state.opening.reader;
    *current = state.applied.filter;
    return true;
}

void ResetHistoryPanel() {
    ResetAuditPanel();
    history::StopUnitCount();
    history::CloseReader(state.opening.reader);
    if (historyHandle > 0) {
        DiscardPanel(historyHandle);
    }
    historyHandle = 0;
    state = {};
}
