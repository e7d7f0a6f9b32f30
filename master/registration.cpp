// The registration panel: a master read from the instrument, named and saved into the store,
// then carried back to the main panel.
#include <cstring>
#include <string>
#include <vector>

#include "access/login.h"
#include "gates/gates.h"
#include "instrument/serial.h"
#include "master/master.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "state/wave_plot.h"
#include "toolkit/toolkit.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"

namespace {

// The name field may hold more than a name; this is wide enough to tell.
constexpr int NAME_FIELD_SIZE = 256;

int Ask_replace_same_name() {
    return ConfirmPopup("확  인", "같은 Master 이름이 존재합니다.\n같은 파일에 저장하시겠습니까 ?");
}

}  // namespace

int Master_setup(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    HidePanel(mainHandle);
    DisplayPanel(setupHandle);
    return 0;
}

// Nothing is changed unless both replies arrive whole.
int Master_upload(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    char work[WORK_BUFFER_SIZE] = {0};
    if (!Exchange_whole(work, CMD_SETUP, work, SETUP_REPLY_LENGTH)) {
        Serial_warning();
        return 0;
    }
    const InstrumentSetup setup = Decode_setup(work);
    Wave standard_wave;
    Send_command(work, CMD_STANDARD_WAVE);
    if (!Read_wave(&standard_wave)) {
        Serial_warning();
        return 0;
    }

    Show_model(setup.model_no.text);
    voltage = static_cast<float>(setup.voltage.real);
    SetCtrlVal(setupHandle, SETUP_VOLTAGE, static_cast<double>(voltage));
    width = setup.width.value;
    SetCtrlVal(setupHandle, SETUP_WIDTH, width);
    pulse_no = setup.pulse_no.value;
    SetCtrlVal(setupHandle, SETUP_PULSE, pulse_no);
    area = setup.judge.value;
    SetCtrlVal(setupHandle, SETUP_AREA, area);
    phase = area;
    SetCtrlVal(setupHandle, SETUP_PHASE, phase);
    wave = standard_wave;
    Replace_plot(setupHandle, SETUP_GRAPH, &setup_plotHandle, wave, VAL_BLUE);
    return 0;
}

int Master_download(int, int, int, void*, int, int) {
    return 0;
}

int Master_save(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    char model_name[NAME_FIELD_SIZE] = "";
    GetCtrlVal(setupHandle, SETUP_MODEL_NAME, model_name);
    if (model_name[0] == '\0') {
        MessagePopup(WARNING_TITLE,
                     "등록될 Master 모델명을 먼저 입력하십시요.\n          (모델명 글자 수 : "
                     "최대 12 자)");
        return 0;
    }
    const std::string fault = Master_name_fault(model_name);
    if (!fault.empty()) {
        MessagePopup(WARNING_TITLE, fault.c_str());
        return 0;
    }
    if (ConfirmPopup("확  인", "저장하시겠습니까 ?") == 0) {
        return 0;
    }
    if (!access_control::Reauthenticate(access_control::Command::CHANGE_MASTER, "마스터 저장")) {
        return 0;
    }
    // The name field's commit, made here so that the name checked is the name saved.
    std::strcpy(master_name, model_name);
    const MasterRecord saved = Current_master();
    std::vector<MasterRecord> replaced;
    if (Save_rewrite(
            saved, [] { return Ask_replace_same_name() == 1; }, &replaced) != SaveOutcome::Saved) {
        return 0;
    }
    if (replaced.empty()) {
        trail::Audit(trail::AUDIT_MASTER_SAVED, saved.name, "", Master_description(saved));
    }
    for (const MasterRecord& earlier : replaced) {
        MasterRecord now = saved;
        std::memcpy(now.name, earlier.name, sizeof now.name);
        trail::Audit(trail::AUDIT_MASTER_OVERWRITTEN, earlier.name, Master_description(earlier),
                     Master_description(now));
    }
    return 0;
}

int Master_quit(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    SetCtrlVal(setupHandle, SETUP_MODEL_NAME, "");
    SetCtrlVal(setupHandle, SETUP_VOLTAGE, 0.0);
    SetCtrlVal(setupHandle, SETUP_WIDTH, 0);
    SetCtrlVal(setupHandle, SETUP_PULSE, 0);
    SetCtrlVal(setupHandle, SETUP_AREA, 0);
    SetCtrlVal(setupHandle, SETUP_PHASE, 0);
    SetCtrlVal(setupHandle, SETUP_CORONA, 0);
    Remove_plot(setupHandle, SETUP_GRAPH, &setup_plotHandle);
    HidePanel(setupHandle);
    Show_model(master_name);
    const MasterRecord carried = Current_master();
    Keep_master_version(Is_stored(carried) ? Master_version(carried) : std::string());
    // Another master may need its reference check: the strip says so before the first start.
    gates::Show(master_name, Carried_master_version());
    Replace_plot(mainHandle, MAIN_GRAPH, &master_plotHandle, wave, VAL_RED);
    Remove_plot(mainHandle, MAIN_GRAPH, &plotHandle);
    SetCtrlAttribute(mainHandle, MAIN_CMD_30, ATTR_DIMMED, 0);
    SetCtrlAttribute(mainHandle, MAIN_CMD_29, ATTR_DIMMED, 0);
    DisplayPanel(mainHandle);
    return 0;
}

int Model(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) {
        GetCtrlVal(setupHandle, SETUP_MODEL_NAME, master_name);
    }
    return 0;
}

int Corona(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) {
        GetCtrlVal(setupHandle, SETUP_CORONA, &corona);
    }
    return 0;
}

int Delay_time(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) {
        GetCtrlVal(setupHandle, SETUP_DELAY_TIME, &delay_time);
    }
    return 0;
}
