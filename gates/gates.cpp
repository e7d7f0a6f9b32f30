#include "gates/gates.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string_view>

#include "gates/engineer.h"
#include "gates/gate_rules.h"
#include "history/recorder.h"
#include "history/units.h"
#include "settings/settings_in_force.h"
#include "toolkit/toolkit.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"

namespace gates {

namespace {

using settings::ReferenceUnit;
using settings::Settings;
using Clock = std::chrono::system_clock;

struct Gates {
    GateStrip strip;
    MasterKey shown;  // the master the strip shows the gates of
    ReferenceCheck reference;
    std::map<std::string, TimePoint> acknowledged;  // each master's last line stop acknowledged
    std::map<std::string, std::string> wrong_reference;  // a wrong verdict stops its master
    std::map<std::string, std::string> drift;            // so does a drift, where set so
    std::map<std::string, std::string> wave;  // and a unit held for its wave: "SN-1 주파수 +1.2 %"
    std::map<std::string, std::string> earlier;  // a stop of a trail before codes, not yet lifted
    std::map<std::string, std::string> stopped;  // each stop in force, as audited
    std::vector<std::string> stops_restored;     // masters whose trail was read
    std::vector<std::pair<MasterKey, TimePoint>> restored;  // checks read back from the history
};

Gates& TheGates() {
    static auto* gates = new Gates;
    return *gates;
}

// How a wrong reference verdict's rule begins.
constexpr const char* WRONG_REFERENCE = "기준품 ";
// How a wave hold shows, in the header and in the refusal.
constexpr const char* WAVE_HOLD = "파형 보류: ";
constexpr const char* WAVE_HELD_NOTE =
    "검사기는 O.K 로 판정했으나 파형이 학습된 기준을 벗어났습니다.\n"
    "제품을 따로 두고 엔지니어의 확인을 받으십시요.";
constexpr const char* HISTORY_OFF_REQUIRED =
    "검사 이력을 기록해야 검사할 수 있는데 (station.ini 의 [history] required),\n"
    "검사 이력이 꺼져 있습니다 (SURGE_HISTORY=off). 관리자에게 알리십시요.";
constexpr const char* RECORDS_WAIT_REQUIRED =
    "기록하지 못한 검사 이력이 %ld 건 있어 검사를 시작할 수 없습니다\n"
    "(station.ini 의 [history] required). 디스크 여유 공간과 폴더의 쓰기 권한을 확인한 뒤 "
    "다시 시작하십시요.";

bool AnyStopOn() {
    const auto& s = Settings();
    return s.line_stop.enabled || s.reference.enabled || s.drift.line_stop || s.wave.hold;
}

std::string ClockText(TimePoint at) {
    const std::time_t seconds = Clock::to_time_t(at);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M", &local);
    return text;
}

std::vector<ReferenceUnit> ReferencesOf(const std::string& master) {
    const auto& reference = Settings().reference;
    return reference.enabled ? settings::ReferenceUnitsOf(reference, master)
                             : std::vector<ReferenceUnit>();
}

TimePoint ShiftStart(TimePoint now) {
    return LatestShiftStart(now, Settings().reference.shifts);
}

// The reference units still to test for `master` in this shift. The check's first look in a shift
// reads back the reference tests the history holds of it, so that a restart keeps what passed.
std::vector<ReferenceUnit> Waiting(const MasterKey& master, const std::vector<ReferenceUnit>& units,
                                   TimePoint now) {
    Gates& g = TheGates();
    const TimePoint shift = ShiftStart(now);
    const std::pair<MasterKey, TimePoint> key{master, shift};
    if (std::find(g.restored.begin(), g.restored.end(), key) == g.restored.end()) {
        g.restored.push_back(key);
        for (const history::ReferenceTest& test :
             history::ReferenceTests(master.name, master.version, shift)) {
            const auto unit = std::find_if(units.begin(), units.end(),
                                           [&](const auto& u) { return u.serial == test.serial; });
            if (unit != units.end()) {
                g.reference.Judge(master, units, *unit, test.outcome, test.at, shift);
            }
        }
    }
    return g.reference.Waiting(master, units, shift);
}

// A wrong reference verdict's or a drift's stop not acknowledged before the station last stopped
// holds again, while its gate is on. (The N.G rule counts again from the verdicts.)
void RestoreStop(const std::string& master) {
    Gates& g = TheGates();
    if (std::find(g.stops_restored.begin(), g.stops_restored.end(), master) !=
        g.stops_restored.end()) {
        return;
    }
    g.stops_restored.push_back(master);
    const std::optional<history::LineStopRow> stop = history::UnacknowledgedStop(master);
    if (!stop) {
        return;
    }
    if (stop->code == trail::CODE_STOP_REFERENCE && Settings().reference.enabled) {
        g.wrong_reference.emplace(master, stop->rule);
    } else if (stop->code == trail::CODE_STOP_DRIFT && Settings().drift.line_stop) {
        g.drift.emplace(master, stop->rule);
    } else if (stop->code == trail::CODE_STOP_WAVE && Settings().wave.hold) {
        g.wave.emplace(master, stop->rule);
    } else if (stop->code.empty() && AnyStopOn()) {
        // Of a trail written before the stops' kinds were kept: it holds until acknowledged.
        g.earlier.emplace(master, stop->rule);
    }
    g.stopped.emplace(master, stop->rule);
}

// The kind of the stop in force for `master`, as its rows in the trail carry it.
const char* StopCode(const std::string& master) {
    const Gates& g = TheGates();
    return g.wrong_reference.count(master) > 0 ? trail::CODE_STOP_REFERENCE
           : g.drift.count(master) > 0         ? trail::CODE_STOP_DRIFT
           : g.wave.count(master) > 0          ? trail::CODE_STOP_WAVE
           : g.earlier.count(master) > 0       ? ""
                                               : trail::CODE_STOP_NG;
}

// The line stop in force for `master`: its rule and counts, or empty.
std::string LineStop(const std::string& master) {
    RestoreStop(master);
    Gates& g = TheGates();
    if (const auto wrong = g.wrong_reference.find(master); wrong != g.wrong_reference.end()) {
        return wrong->second;
    }
    if (const auto drift = g.drift.find(master); drift != g.drift.end()) {
        return drift->second;
    }
    if (const auto held = g.wave.find(master); held != g.wave.end()) {
        return held->second;
    }
    if (const auto earlier = g.earlier.find(master); earlier != g.earlier.end()) {
        return earlier->second;
    }
    const auto& settings = Settings().line_stop;
    if (!settings.enabled) {
        return std::string();
    }
    const auto acknowledged = g.acknowledged.find(master);
    const TimePoint since =
        acknowledged == g.acknowledged.end() ? TimePoint{} : acknowledged->second;
    return LineStopRule(
        settings,
        history::LatestVerdicts(master, since, std::max(settings.in_a_row, settings.of_last)));
}

std::string Serials(const std::vector<ReferenceUnit>& units) {
    std::string text;
    for (const ReferenceUnit& unit : units) {
        text += (text.empty() ? "" : ", ") + unit.serial + " (" + Outcome_text(unit.expected) + ")";
    }
    return text;
}

// Whether the stop in force for `master` is a unit held for its wave.
bool WaveHeld(const std::string& master) {
    return std::string_view(StopCode(master)) == trail::CODE_STOP_WAVE;
}

// The held unit and what the station found in its wave ("SN-1 주파수 +1.2 %").
std::string WaveHoldRule(const Inspection& inspection, const WaveOpinion& wave) {
    return (inspection.serial.empty() ? "일련번호 없음" : inspection.serial) + " " +
           (wave.text.empty() ? wave.wave_rule : wave.text);
}

// What the gates hold for a master, for one start or one cycle: the history is read for it at
// most once.
struct State {
    MasterKey master;
    TimePoint now;
    bool blind = false;                    // gates on, but the history they read cannot be read
    std::optional<std::string> line_stop;  // the rule of the line stop in force, once asked
};

State StateOf(const MasterKey& master, TimePoint now) {
    const auto& settings = Settings();
    const bool on = settings.retest.enabled || settings.line_stop.enabled ||
                    settings.reference.enabled || settings.drift.line_stop || settings.wave.hold;
    return {master, now, on && !history::Readable(), std::nullopt};
}

// The line stop in force for the state's master, empty for none.
const std::string& LineStopOf(State* state) {
    if (!state->line_stop) {
        state->line_stop = LineStop(state->master.name);
    }
    return *state->line_stop;
}

void ShowState(State* state) {
    const GateStrip& strip = TheGates().strip;
    if (strip.panel <= 0) {
        return;
    }
    TheGates().shown = state->master;
    std::string stop;
    std::string note;
    const MasterKey& master = state->master;
    const TimePoint now = state->now;
    if (state->blind) {
        // The gates read the history: without it they cannot hold a unit or the line.
        stop = "검사 이력 없음: 검사 조건을 확인할 수 없음";
    } else if (const std::string& rule = LineStopOf(state); !rule.empty()) {
        stop = WaveHeld(master.name) ? WAVE_HOLD + rule
                                     : "라인 정지: " + rule + " (" + master.name + ")";
    } else if (const auto units = ReferencesOf(master.name); !units.empty()) {
        const auto waiting = Waiting(master, units, now);
        if (!waiting.empty()) {
            stop = "기준품 확인 필요: " + Serials(waiting);
        } else if (const auto at = TheGates().reference.PassedAt(master, ShiftStart(now))) {
            note = "기준품 확인 " + ClockText(*at);
        }
    }
    SetCtrlVal(strip.panel, strip.stop, stop.c_str());
    SetCtrlAttribute(strip.panel, strip.stop, ATTR_VISIBLE, stop.empty() ? 0 : 1);
    SetCtrlVal(strip.panel, strip.note, note.c_str());
    SetCtrlAttribute(strip.panel, strip.note, ATTR_VISIBLE, note.empty() ? 0 : 1);
}

// Tells the refusal; true when an engineer lets the start go, with `reason` for the trail.
bool Refused(const std::string& warning, const char* what, std::string* reason) {
    MessagePopup(WARNING_TITLE, warning.c_str());
    return EngineerApproves(what, reason);
}

// Where the plant requires the record, a start first writes what waits; none goes while a record
// cannot be written, and nobody may override that.
bool RecordingLetsGo() {
    if (!Settings().history.required) {
        return true;
    }
    const long waiting = history::WriteWaiting();
    if (waiting == 0) {
        return true;
    }
    char text[512];
    std::snprintf(text, sizeof text, RECORDS_WAIT_REQUIRED, waiting);
    MessagePopup(WARNING_TITLE, waiting < 0 ? HISTORY_OFF_REQUIRED : text);
    return false;
}

// Lifts the stop in `state` when an engineer acknowledges it.
bool LineStopLetsGo(const Unit& unit, State* state) {
    const std::string rule = LineStopOf(state);
    std::string note;
    if (rule.empty()) {
        return true;
    }
    Gates& g = TheGates();
    const bool drift = g.drift.count(unit.master) > 0;
    const bool held = WaveHeld(unit.master);
    const std::string warning =
        held ? WAVE_HOLD + rule + " (" + unit.master + ").\n" + WAVE_HELD_NOTE
             : "라인 정지: " + unit.master + " " + rule +
                   ".\n원인을 확인하고 엔지니어의 확인을 받으십시요.";
    if (!Refused(warning,
                 held    ? "파형 보류 해제: 사유"
                 : drift ? "추세 경고 라인 정지 확인: 조치 내용"
                         : "라인 정지 확인",
                 &note)) {
        return false;
    }
    trail::Audit(trail::AUDIT_LINE_STOP_ACKNOWLEDGED, unit.master, rule, "", note,
                 StopCode(unit.master));
    // Counting begins anew after the acknowledgement, as its audit row's time has it.
    g.acknowledged[unit.master] = Clock::now();
    g.wrong_reference.erase(unit.master);
    g.earlier.erase(unit.master);
    g.wave.erase(unit.master);
    g.stopped.erase(unit.master);
    if (drift) {
        g.drift.erase(unit.master);
        history::RestartDrift();
    }
    // Counted from now on, no verdict breaks the rule yet.
    state->line_stop = std::string();
    return true;
}

bool ReferenceCheckLetsGo(const Unit& unit, const MasterKey& master,
                          const std::vector<ReferenceUnit>& units) {
    const auto waiting = Waiting(master, units, unit.now);
    std::string reason;
    if (waiting.empty()) {
        return true;
    }
    if (!Refused("기준품 확인 필요: " + Serials(waiting) + "\n기준품을 먼저 검사하십시요.",
                 "기준품 확인 생략", &reason)) {
        return false;
    }
    trail::Audit(trail::AUDIT_GATE_OVERRIDDEN, "reference " + unit.master,
                 "기준품 확인 필요: " + Serials(waiting), "", reason, trail::CODE_STOP_REFERENCE);
    TheGates().reference.Override(master, unit.now);
    return true;
}

bool RetestLimitLetsGo(const Unit& unit, const history::UnitTests& tests) {
    std::string reason;
    if (!RetestLimitReached(Settings().retest, tests.tests, tests.ok)) {
        return true;
    }
    const std::string counts = std::to_string(tests.tests) + " 회 N.G";
    if (!Refused("일련번호 " + unit.serial + " 은(는) " + counts +
                     " 로 재검사 한도에 이르렀습니다.\n재작업으로 보내십시요.",
                 "재검사 한도 무시", &reason)) {
        return false;
    }
    trail::Audit(trail::AUDIT_GATE_OVERRIDDEN, "retest " + unit.serial, counts, "", reason,
                 trail::CODE_RETEST);
    return true;
}

}  // namespace

void Start(const GateStrip& strip) {
    TheGates() = Gates{};
    TheGates().strip = strip;
    // The strip follows the settings: a gate turned on or off shows at once.
    settings::ListenToSettings("gates", [] {
        State state = StateOf(TheGates().shown, Clock::now());
        ShowState(&state);
    });
}

Admission Admit(const Unit& unit) {
    Admission admission;
    const history::UnitTests tests =
        history::TestsOfUnit(unit.serial, unit.now, Settings().units.window_days);
    admission.attempt = tests.tests + 1;
    const MasterKey master{unit.master, unit.master_version};
    const std::vector<ReferenceUnit> units = ReferencesOf(unit.master);
    admission.reference =
        !unit.serial.empty() && std::any_of(units.begin(), units.end(),
                                            [&](const auto& u) { return u.serial == unit.serial; });
    // The records waiting are written first, so that the line stop counts them.
    const bool recording = RecordingLetsGo();
    State state = StateOf(master, unit.now);
    admission.go = recording && LineStopLetsGo(unit, &state) &&
                   (admission.reference ||
                    (ReferenceCheckLetsGo(unit, master, units) && RetestLimitLetsGo(unit, tests)));
    ShowState(&state);
    return admission;
}

void AfterCycle(const Inspection& inspection, const history::Drift& drift,
                const WaveOpinion& wave) {
    const MasterKey master{inspection.master, inspection.master_version};
    const TimePoint now = Clock::now();
    const bool test = inspection.outcome == Outcome::OK || inspection.outcome == Outcome::NG;
    Gates& g = TheGates();
    if (Settings().drift.line_stop && drift.Signal() && !g.drift.count(inspection.master)) {
        g.drift[inspection.master] = history::DriftRule(drift);
    }
    // The tester's O.K stands; the unit is held until an engineer releases it.
    if (Settings().wave.hold && inspection.outcome == Outcome::OK &&
        wave.wave_alarm.value_or(false) && !g.wave.count(inspection.master)) {
        g.wave[inspection.master] = WaveHoldRule(inspection, wave);
    }
    if (inspection.reference && test) {
        const std::vector<ReferenceUnit> units = ReferencesOf(inspection.master);
        const auto unit = std::find_if(units.begin(), units.end(), [&](const auto& u) {
            return u.serial == inspection.serial;
        });
        if (unit != units.end() &&
            !TheGates().reference.Judge(master, units, *unit, inspection.outcome, now,
                                        ShiftStart(now))) {
            TheGates().wrong_reference[inspection.master] =
                WRONG_REFERENCE + unit->serial + " 판정 " + Outcome_text(inspection.outcome) +
                " (" + Outcome_text(unit->expected) + " 이어야 함)";
        }
    }
    // Each line stop once in the trail, as it begins: the shift report lists them.
    State state = StateOf(master, now);
    if (const std::string& rule = LineStopOf(&state); rule.empty()) {
        g.stopped.erase(inspection.master);
    } else if (g.stopped[inspection.master] != rule) {
        g.stopped[inspection.master] = rule;
        trail::Audit(trail::AUDIT_LINE_STOPPED, inspection.master, "", rule, "",
                     StopCode(inspection.master));
    }
    ShowState(&state);
}

int EarlierTests(const std::string& serial) {
    return history::TestsOfUnit(serial, Clock::now(), Settings().units.window_days).tests;
}

void Show(const std::string& master, const std::string& master_version) {
    State state = StateOf({master, master_version}, Clock::now());
    ShowState(&state);
}

}  // namespace gates
