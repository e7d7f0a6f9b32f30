// The inspection cycle: the start command reads the tester's setup, starts the test, waits,
// fetches the test and standard waves and the result, and shows them on the main panel; the
// stop command gives the panel's commands back.
#include "inspection/inspection.h"

#include <cstdio>
#include <cstring>

#include "app/surge.h"
#include "app/surge_uir.h"
#include "app/wave_plot.h"
#include "history/recorder.h"
#include "instrument/serial.h"

namespace {

void Show_lamp(int lamp, int shown) {
    SetCtrlAttribute(mainHandle, lamp, ATTR_VISIBLE, shown);
}

// Reads one wave into `samples`. The reply lands in a scratch buffer first and `samples` takes
// it only when it came whole: a short or shifted reply leaves the earlier wave as it was, never
// decoded a second time.
bool Read_wave(signed char* samples) {
    char reply[WAVE_LENGTH] = {0};
    if (!Read_whole(reply, WAVE_LENGTH)) {
        return false;
    }
    std::memcpy(samples, reply, WAVE_SAMPLES);
    Decode_wave(samples, WAVE_SAMPLES);
    return true;
}

// The history keeps its own wave length, as a subsystem of its own; the two must agree.
static_assert(history::WAVE_BYTES == WAVE_SAMPLES);

history::Wave Copy_of(const signed char* samples) {
    history::Wave copy;
    std::memcpy(copy.data(), samples, WAVE_SAMPLES);
    return copy;
}

// Hands the cycle to the history, with its verdict or the command whose reply failed, and
// empties the serial field for the next unit.
void End_cycle(history::Cycle* cycle, const char* stopped_at) {
    cycle->stopped_at = stopped_at;
    cycle->outcome = stopped_at[0] == '\0' ? result : "incomplete";
    history::Record(*cycle);
    SetCtrlVal(mainHandle, MAIN_SERIAL, "");
}

}  // namespace

int Main_start(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    char work[WORK_BUFFER_SIZE] = {0};
    char field[16] = {0};

    SetCtrlAttribute(mainHandle, MAIN_CMD_26, ATTR_DIMMED, 1);
    SetCtrlAttribute(mainHandle, MAIN_CMD_29, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_CMD_28, ATTR_DIMMED, 1);
    SetCtrlAttribute(mainHandle, MAIN_CMD_27, ATTR_DIMMED, 1);
    SetCtrlAttribute(mainHandle, MAIN_HISTORY, ATTR_DIMMED, 1);

    Show_lamp(MAIN_BUSY_LED, 1);
    Show_lamp(MAIN_OK_LED, 0);
    Show_lamp(MAIN_NG_LED, 0);

    GetCtrlVal(mainHandle, MAIN_MODEL, work);
    if (work[0] == '\0') {
        MessagePopup(WARNING_TITLE, "Master model을 먼저 선택하십시요.");
        return 0;
    }
    history::Cycle cycle;
    cycle.master = master_name;
    char serial[64] = {0};
    GetCtrlVal(mainHandle, MAIN_SERIAL, serial);
    cycle.serial = serial;

    if (!Exchange_whole(work, CMD_SETUP, work, SETUP_REPLY_LENGTH) || Check_range(work) == 1) {
        End_cycle(&cycle, "ME");
        Serial_warning();
        return 0;
    }
    const InstrumentSetup setup = Decode_setup(work);
    cycle.model_no = setup.model_no.text;
    cycle.voltage = setup.voltage.real / 10.0;
    cycle.width = setup.width.value;
    cycle.pulse_no = setup.pulse_no.value;
    cycle.judge = setup.judge.value;

    // From here the variables hold this unit; until its verdict arrives it has none.
    std::snprintf(result, sizeof result, "%s", "BUSY");

    SetCtrlVal(mainHandle, MAIN_MODEL, setup.model_no.text);

    voltage = static_cast<float>(setup.voltage.real / 10.0);
    std::snprintf(field, sizeof field, "%2.1f", voltage);
    SetCtrlVal(mainHandle, MAIN_VOLTAGE, field);

    SetCtrlVal(mainHandle, MAIN_WIDTH, setup.width.text);
    width = setup.width.value;

    SetCtrlVal(mainHandle, MAIN_PULSE, setup.pulse_no.text);
    pulse_no = setup.pulse_no.value;
    delay_time = static_cast<float>(pulse_no * 0.05 + 0.1);

    SetCtrlVal(mainHandle, MAIN_JUDGE, setup.judge.text);
    judge = setup.judge.value;

    Exchange(work, CMD_START, nullptr, 0);
    Delay(delay_time);

    // Each wave is drawn while the next reply is on the line: the tester never waits on drawing.
    Send_command(work, CMD_TEST_WAVE);
    if (!Read_wave(measured_wave)) {
        End_cycle(&cycle, "WT");
        Serial_warning();
        return 0;
    }
    Send_command(work, CMD_STANDARD_WAVE);
    cycle.measured_wave = Copy_of(measured_wave);
    Replace_plot(mainHandle, MAIN_GRAPH, &plotHandle, measured_wave, VAL_BLUE);

    if (!Read_wave(wave)) {
        End_cycle(&cycle, "WS");
        Serial_warning();
        return 0;
    }
    Send_command(work, CMD_RESULT);
    cycle.standard_wave = Copy_of(wave);
    Replace_plot(mainHandle, MAIN_GRAPH, &master_plotHandle, wave, VAL_RED);

    // A cleared buffer of its own, so that nothing of the setup reply can pass for a result.
    char reply[RESULT_REPLY_LENGTH + 1] = {0};
    if (!Read_whole(reply, RESULT_REPLY_LENGTH)) {
        End_cycle(&cycle, "RE");
        Serial_warning();
        return 0;
    }
    const TestResult test = Decode_result(reply);

    SetCtrlVal(mainHandle, MAIN_AREA, test.area_text);
    area = test.area;
    SetCtrlVal(mainHandle, MAIN_PHASE, test.phase_text);
    phase = test.phase;
    cycle.area = area;
    cycle.phase = phase;

    if (test.pass) {
        Show_lamp(MAIN_OK_LED, 1);
        Show_lamp(MAIN_NG_LED, 0);
        Show_lamp(MAIN_BUSY_LED, 0);
        std::snprintf(result, sizeof result, "%s", "O.K");
    } else {
        Show_lamp(MAIN_OK_LED, 0);
        Show_lamp(MAIN_NG_LED, 1);
        Show_lamp(MAIN_BUSY_LED, 0);
        std::snprintf(result, sizeof result, "%s", "N.G");
    }
    End_cycle(&cycle, "");
    return 0;
}

int Main_stop(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    SetCtrlAttribute(mainHandle, MAIN_CMD_26, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_CMD_28, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_CMD_27, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_HISTORY, ATTR_DIMMED, 0);
    return 0;
}
