// Start-up and shutdown of the station.
#include "app/surge.h"

#include <cstdio>
#include <cstring>

#include "access/login.h"
#include "after_cycle/after_cycle.h"
#include "export/workbook.h"
#include "gates/gates.h"
#include "history/history_panel.h"
#include "history/recorder.h"
#include "inspection/reference_band.h"
#include "instrument/serial.h"
#include "log/log.h"
#include "settings/settings_in_force.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"
#include "trail/audit_trail.h"
#include "version/version.h"
#include "wave_check/wave_check.h"

namespace {

constexpr const char* RECORDS_WAIT_AT_QUIT =
    "검사 이력 %ld 건을 아직 기록하지 못했습니다 (inspection_history.db).\n"
    "지금 종료하면 이 기록을 잃습니다. 그래도 종료하시겠습니까 ?\n"
    "(아니오: 디스크 공간을 비운 뒤 다시 종료하면 먼저 기록합니다)";

// Reads the spreadsheet program's path back from the path file into excel_path. A path that
// would not leave room for the workbook argument is refused (the file stays as it is) and the
// operator is asked to choose the program again.
void Restore_excel_path() {
    char path[EXCEL_PATH_SIZE + 1] = {0};
    const int file = OpenFile(EXCEL_PATH_FILE, VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    if (file >= 0) {
        ReadFile(file, path, EXCEL_PATH_SIZE);
        CloseFile(file);
    }
    std::size_t length = std::strlen(path);
    while (length > 0 && (path[length - 1] == '\n' || path[length - 1] == '\r')) {
        path[--length] = '\0';
    }
    if (length + std::strlen(WORKBOOK_ARGUMENT) >= EXCEL_PATH_SIZE) {
        MessagePopup(WARNING_TITLE,
                     "엑셀 프로그램 경로가 너무 깁니다 (최대 249 자).\n"
                     "Master 등록 화면에서 엑셀 프로그램을 다시 선택하십시요.");
        return;
    }
    std::memcpy(excel_path, path, length + 1);
}

// The login ends: every station panel goes before the login panel is shown.
void Hide_station_panels() {
    HidePanel(mainHandle);
    HidePanel(setupHandle);
    HidePanel(masterHandle);
    Hide_history_panels();
}

void Close_station() {
    Close_com_port();
    DiscardPanel(mainHandle);
    DiscardPanel(setupHandle);
    DiscardPanel(masterHandle);
    QuitUserInterface(0);
}

// What follows the event loop: the last write, the trail's waiting rows, the forwarder's wait, the
// log's last line.
void End_station() {
    Stop_history_panel();
    history::Stop();
    access_control::StopAccess();
    settings::StopSettings();
    trail::StopTrail();
    surge_log::Write("stop", "station stopped");
}

// The display lost: no event loop to return to, so the port is closed and the station ended here.
void Display_lost() {
    Close_com_port();
    End_station();
}

// A logout or a shutdown ends the station as its quit does, the running cycle first, but asks
// nobody: the records that still cannot be written are counted in the log.
void Session_end(void*) {
    Close_station();
}

// Records the history could not write go at a quit only on the operator's word, after one more
// try. False: the station keeps running, and a later quit tries again.
bool Records_may_go() {
    const long waiting = history::WriteWaiting();
    if (waiting <= 0) {
        return true;
    }
    char text[512];
    std::snprintf(text, sizeof text, RECORDS_WAIT_AT_QUIT, waiting);
    return ConfirmPopup("확  인", text) == 1;
}

}  // namespace

int surge_main(int argc, char** argv) {
    if (InitRuntimeEngine(argc, argv) == 0) {
        return -1;
    }
    if (Start_station() < 0) {
        return -1;
    }
    RunUserInterface();
    End_station();
    return 0;
}

int Start_station() {
    surge_log::Write("start", "station starting");
    Register_callbacks();
    SetSessionEndCallback(Session_end, nullptr);
    SetDisplayLostCallback(Display_lost);
    if ((mainHandle = LoadPanel(0, SURGE_UIR, MAIN)) < 0) {
        return -1;
    }
    // The version for support, where it leaves the panel's own texts as they are.
    SetPanelAttribute(mainHandle, ATTR_TOOLTIP_TEXT, "surge " SURGE_VERSION_TEXT);
    if ((setupHandle = LoadPanel(0, SURGE_UIR, SETUP)) < 0) {
        return -1;
    }
    if ((masterHandle = LoadPanel(0, SURGE_UIR, MASTER)) < 0) {
        return -1;
    }
    Init_com_port();
    Display_init();
    settings::StartSettings();
    Start_history();
    gates::Start({mainHandle, MAIN_GATE, MAIN_GATE_NOTE});
    Show_gates();
    Guard_commands();
    DisplayPanel(mainHandle);
    PlotLine(mainHandle, MAIN_GRAPH, 0.0, 0.0, WAVE_SAMPLES - 1, 0.0, 0xC0C0C0);
    PlotLine(setupHandle, SETUP_GRAPH, 0.0, 0.0, WAVE_SAMPLES - 1, 0.0, 0xC0C0C0);
    return access_control::StartAccess(
        {SURGE_UIR, mainHandle, MAIN_USER, MAIN_LOGOUT, Hide_station_panels});
}

void Guard_commands() {
    using access_control::Command;
    access_control::GuardControl(setupHandle, SETUP_SAVE, Command::CHANGE_MASTER);
    access_control::GuardControl(setupHandle, SETUP_EXCEL_SELECT, Command::CHOOSE_PROGRAM);
    access_control::GuardControl(masterHandle, MASTER_DELETE, Command::CHANGE_MASTER);
}

void Start_history() {
    history::Start({mainHandle, MAIN_TESTED, MAIN_OK_COUNT, MAIN_NG_COUNT, MAIN_YIELD,
                    MAIN_RECORDING, MAIN_RECORDING_OFF, MAIN_WAITING, MAIN_DRIFT, MAIN_FIRST_PASS});
    wave_check::Start({mainHandle, MAIN_WAVE});
    // After each cycle, in this order: the station's judgement of the wave (with the learned band
    // of the unit's version, where it is shown), the record that carries it, today's counts, the
    // drift watch on what was recorded, the wave reference learned once its units are recorded,
    // then the gates, which take the drift.
    after_cycle::Register({
        [](const Inspection& inspection, after_cycle::Findings* findings) {
            wave_check::Judge(inspection, &findings->wave);
            Show_reference_band();
        },
        [](const Inspection& inspection, after_cycle::Findings* findings) {
            findings->recorded = history::WriteRecord(inspection, findings->wave);
        },
        [](const Inspection& inspection, after_cycle::Findings*) {
            history::CountToday(inspection);
        },
        [](const Inspection& inspection, after_cycle::Findings* findings) {
            findings->drift = history::WatchDrift(inspection, findings->wave, findings->recorded);
        },
        [](const Inspection& inspection, after_cycle::Findings*) { wave_check::Learn(inspection); },
        [](const Inspection& inspection, after_cycle::Findings* findings) {
            gates::AfterCycle(inspection, findings->drift, findings->wave);
        },
    });
}

void Show_gates() {
    gates::Show(master_name, Carried_master_version());
}

void Display_init() {
    int monitor = 0;
    int screen_height = 0;
    int screen_width = 0;
    GetSystemAttribute(ATTR_PRIMARY_MONITOR, &monitor);
    GetMonitorAttribute(monitor, ATTR_HEIGHT, &screen_height);
    GetMonitorAttribute(monitor, ATTR_WIDTH, &screen_width);

    SetPanelPos(mainHandle, 25, 0);
    SetPanelSize(mainHandle, screen_height - 25, screen_width);

    SetCtrlAttribute(mainHandle, MAIN_GRAPH, ATTR_GRID_VISIBLE, 1);
    SetCtrlAttribute(mainHandle, MAIN_GRAPH, ATTR_GRID_COLOR, 0xE0E0E0);
    SetCtrlAttribute(setupHandle, SETUP_GRAPH, ATTR_GRID_VISIBLE, 1);
    SetCtrlAttribute(setupHandle, SETUP_GRAPH, ATTR_GRID_COLOR, 0xE0E0E0);

    Restore_excel_path();
    SetCtrlVal(setupHandle, SETUP_EXCEL_PATH, excel_path);
    std::strcat(excel_path, WORKBOOK_ARGUMENT);

    GetCtrlVal(setupHandle, SETUP_DELAY_TIME, &delay_time);
}

int Quit(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT || !Records_may_go()) {
        return 0;
    }
    Close_station();
    return 0;
}
