#include "inspection/inspection_display.h"

#include <cstdio>

#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "state/wave_plot.h"
#include "toolkit/toolkit.h"

namespace {

void Show_lamp(int lamp, int shown) {
    SetCtrlAttribute(mainHandle, lamp, ATTR_VISIBLE, shown);
}

}  // namespace

void Show_testing() {
    SetCtrlAttribute(mainHandle, MAIN_CMD_26, ATTR_DIMMED, 1);
    SetCtrlAttribute(mainHandle, MAIN_CMD_29, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_CMD_28, ATTR_DIMMED, 1);
    SetCtrlAttribute(mainHandle, MAIN_CMD_27, ATTR_DIMMED, 1);
    SetCtrlAttribute(mainHandle, MAIN_HISTORY, ATTR_DIMMED, 1);

    Show_lamp(MAIN_BUSY_LED, 1);
    Show_lamp(MAIN_OK_LED, 0);
    Show_lamp(MAIN_NG_LED, 0);
    // The station's wave alarm belongs to the unit before; this unit's comes after its verdict.
    Show_lamp(MAIN_WAVE, 0);
}

void Show_ready() {
    SetCtrlAttribute(mainHandle, MAIN_CMD_26, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_CMD_28, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_CMD_27, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_HISTORY, ATTR_DIMMED, 0);
}

void Show_refused() {
    Show_lamp(MAIN_BUSY_LED, 0);
}

void Show_setup(const InstrumentSetup& setup) {
    std::snprintf(result, sizeof result, "%s", "BUSY");

    Show_model(setup.model_no.text);

    voltage = static_cast<float>(setup.kilovolts);
    char field[16] = {0};
    std::snprintf(field, sizeof field, "%2.1f", voltage);
    SetCtrlVal(mainHandle, MAIN_VOLTAGE, field);

    SetCtrlVal(mainHandle, MAIN_WIDTH, setup.width.text);
    width = setup.width.value;

    SetCtrlVal(mainHandle, MAIN_PULSE, setup.pulse_no.text);
    pulse_no = setup.pulse_no.value;
    delay_time = static_cast<float>(pulse_no * 0.05 + 0.1);

    SetCtrlVal(mainHandle, MAIN_JUDGE, setup.judge.text);
    judge = setup.judge.value;
}

void Show_measured_wave(const Wave& measured) {
    measured_wave = measured;
    Replace_plot(mainHandle, MAIN_GRAPH, &plotHandle, measured_wave, VAL_BLUE);
}

void Show_standard_wave(const Wave& standard) {
    wave = standard;
    Replace_plot(mainHandle, MAIN_GRAPH, &master_plotHandle, wave, VAL_RED);
}

void Show_verdict(const TestResult& test, Outcome outcome) {
    SetCtrlVal(mainHandle, MAIN_AREA, test.area_text);
    area = test.area;
    SetCtrlVal(mainHandle, MAIN_PHASE, test.phase_text);
    phase = test.phase;

    Show_lamp(MAIN_OK_LED, outcome == Outcome::OK ? 1 : 0);
    Show_lamp(MAIN_NG_LED, outcome == Outcome::NG ? 1 : 0);
    Show_lamp(MAIN_BUSY_LED, 0);
    std::snprintf(result, sizeof result, "%s", Outcome_text(outcome));
}
