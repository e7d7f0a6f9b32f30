// Panel resource ids and control ids of "surge.uir".
#pragma once

// The history panel (HISTORY, 4) and the audit rows' (AUDIT, 12) have their ids in
// history/history_uir.h, the login panel (LOGIN, 11) in access/access_uir.h.

constexpr const char* SURGE_UIR = "surge.uir";

// Panels (resource ids)
constexpr int MAIN = 1;
constexpr int MASTER = 2;
constexpr int SETUP = 3;

// MAIN: inspection
constexpr int MAIN_GRAPH = 2;
constexpr int MAIN_NG_LED = 5;
constexpr int MAIN_OK_LED = 6;
constexpr int MAIN_WIDTH = 10;
constexpr int MAIN_BUSY_LED = 11;
constexpr int MAIN_PHASE = 16;
constexpr int MAIN_MODEL = 25;
constexpr int MAIN_CMD_26 = 26;  // Master_setup
constexpr int MAIN_CMD_27 = 27;  // Excel
constexpr int MAIN_CMD_28 = 28;  // Quit
constexpr int MAIN_CMD_29 = 29;  // Main_stop
constexpr int MAIN_CMD_30 = 30;  // Main_start
constexpr int MAIN_AREA = 38;
constexpr int MAIN_JUDGE = 43;
constexpr int MAIN_VOLTAGE = 44;
constexpr int MAIN_PULSE = 45;
// MAIN: the unit's serial number (Enter gives the start command) and today's counts
constexpr int MAIN_SERIAL = 50;
constexpr int MAIN_TESTED = 51;
constexpr int MAIN_OK_COUNT = 52;
constexpr int MAIN_NG_COUNT = 53;
constexpr int MAIN_YIELD = 54;
constexpr int MAIN_RECORDING = 55;
constexpr int MAIN_RECORDING_OFF = 56;
constexpr int MAIN_WAITING = 57;         // records waiting for the plant's history server
constexpr int MAIN_SERIAL_REFUSED = 58;  // why the last read was refused
constexpr int MAIN_FIRST_PASS = 59;      // today's first-pass yield
constexpr int MAIN_RETEST = 64;          // the retests of the unit in the field
constexpr int MAIN_GATE = 65;            // the line stop, or the reference check that waits
constexpr int MAIN_GATE_NOTE = 66;       // when the reference check passed
constexpr int MAIN_DRIFT = 67;           // "추세 경고": the master's readings drift (run rules)
constexpr int MAIN_WAVE = 68;            // the station's wave alarm, in amber beside the lamps
constexpr int MAIN_BAND = 69;  // Main_band: the learned band behind the waves, off at start

constexpr int MAIN_HISTORY = 60;  // History_open
// MAIN: access control (hidden without it): who is logged in, and the logout
constexpr int MAIN_USER = 61;
constexpr int MAIN_LOGOUT = 62;

// MASTER: list of registered masters
constexpr int MASTER_SELECT = 1;
constexpr int MASTER_DELETE = 2;
constexpr int MASTER_CANCEL = 3;
constexpr int MASTER_COUNT = 4;
constexpr int MASTER_TABLE = 6;

// SETUP: registration of one master, spreadsheet path, delay time
constexpr int SETUP_EXCEL_PATH = 2;
constexpr int SETUP_GRAPH = 3;
constexpr int SETUP_CORONA = 4;
constexpr int SETUP_PHASE = 5;
constexpr int SETUP_AREA = 6;
constexpr int SETUP_DELAY_TIME = 8;
constexpr int SETUP_PULSE = 9;
constexpr int SETUP_WIDTH = 10;
constexpr int SETUP_VOLTAGE = 11;
constexpr int SETUP_UPLOAD = 12;
constexpr int SETUP_DOWNLOAD = 13;
constexpr int SETUP_SAVE = 14;
constexpr int SETUP_LIST = 15;
constexpr int SETUP_QUIT = 16;
constexpr int SETUP_EXCEL_SELECT = 17;
constexpr int SETUP_MODEL_NAME = 24;
