// The inspection cycle: the start command reads the tester's setup, starts the test, waits,
// fetches the test and standard waves and the result, and shows them on the main panel; Enter in
// the serial number field gives the start command; the stop command gives the panel's commands
// back.
#include "inspection/inspection.h"

#include <chrono>
#include <string>

#include "after_cycle/after_cycle.h"
#include "gates/gates.h"
#include "inspection/inspection_display.h"
#include "inspection/serial_number.h"
#include "instrument/serial.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"
#include "trail/session.h"

namespace {

Inspection Begin_inspection(const std::string& serial) {
    Inspection inspection;
    inspection.started_at = std::chrono::system_clock::now();
    inspection.master = master_name;
    inspection.master_version = Carried_master_version();
    inspection.operator_name = trail::OperatorName();
    inspection.serial = serial;
    return inspection;
}

// Hands the cycle to what follows it (the history, the gates) and empties the serial field for the
// next unit.
void End_cycle(Inspection* inspection) {
    inspection->ended_at = std::chrono::system_clock::now();
    after_cycle::Run(*inspection);
    SetCtrlVal(mainHandle, MAIN_SERIAL, "");
    Clear_serial_refusal();
}

// `command` could not be written or its reply did not come whole: the cycle ends there,
// incomplete.
int Stop_at(Inspection* inspection, const char* command) {
    inspection->failed_command = Command_code(command);
    End_cycle(inspection);
    Serial_warning();
    return 0;
}

bool Read_into(std::optional<Wave>* wave) {
    Wave read;
    if (!Read_wave(&read)) {
        return false;
    }
    *wave = read;
    return true;
}

}  // namespace

int Main_start(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    std::string serial;
    if (!Read_serial(&serial)) {
        return 0;
    }
    char work[WORK_BUFFER_SIZE] = {0};
    Show_testing();
    if (!Model_chosen()) {
        MessagePopup(WARNING_TITLE, "Master model을 먼저 선택하십시요.");
        return 0;
    }
    Inspection inspection = Begin_inspection(serial);
    const gates::Admission admission =
        gates::Admit({serial, inspection.master, inspection.master_version, inspection.started_at});
    Show_retests(admission.attempt - 1);
    if (!admission.go) {
        Show_refused();
        return 0;
    }
    inspection.attempt = admission.attempt;
    inspection.reference = admission.reference;

    if (!Exchange_whole(work, CMD_SETUP, work, SETUP_REPLY_LENGTH) || Check_range(work) == 1) {
        return Stop_at(&inspection, CMD_SETUP);
    }
    inspection.setup = Decode_setup(work);
    Show_setup(*inspection.setup);

    // A tester that never got the start answers with the last unit's waves and result.
    if (!Send_command(work, CMD_START)) {
        return Stop_at(&inspection, CMD_START);
    }
    Delay(delay_time);

    // Each wave is drawn while the next reply is on the line: the tester never waits on drawing.
    Send_command(work, CMD_TEST_WAVE);
    if (!Read_into(&inspection.measured_wave)) {
        return Stop_at(&inspection, CMD_TEST_WAVE);
    }
    Send_command(work, CMD_STANDARD_WAVE);
    Show_measured_wave(*inspection.measured_wave);
    if (!Read_into(&inspection.standard_wave)) {
        return Stop_at(&inspection, CMD_STANDARD_WAVE);
    }
    Send_command(work, CMD_RESULT);
    Show_standard_wave(*inspection.standard_wave);

    // A cleared buffer of its own, so that nothing of the setup reply can pass for a result.
    char reply[RESULT_REPLY_LENGTH + 1] = {0};
    if (!Read_whole(reply, RESULT_REPLY_LENGTH)) {
        return Stop_at(&inspection, CMD_RESULT);
    }
    inspection.result = Decode_result(reply);
    inspection.outcome = inspection.result->pass ? Outcome::OK : Outcome::NG;
    Show_verdict(*inspection.result, inspection.outcome);
    End_cycle(&inspection);
    return 0;
}

int Main_serial(int, int, int event, void*, int eventData1, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    std::string serial;
    if (!Read_serial(&serial) || serial.empty()) {
        return 0;
    }
    Show_retests(gates::EarlierTests(serial));
    if (eventData1 == VAL_HELD_INPUT) {
        return 0;
    }
    int dimmed = 0;
    GetCtrlAttribute(mainHandle, MAIN_CMD_30, ATTR_DIMMED, &dimmed);
    if (dimmed == 1) {
        return 0;
    }
    return Main_start(mainHandle, MAIN_CMD_30, EVENT_COMMIT, nullptr, 0, 0);
}

int Main_stop(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    Show_ready();
    return 0;
}
