// The master list panel: the store's records as the rows of MASTER_TABLE; one of them is
// brought back into the registration panel or deleted. Row r of the table is record r of the
// store for as long as the panel is shown.
#include "access/login.h"
#include "master/master.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "state/wave_plot.h"
#include "toolkit/toolkit.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"

int registered_master_no = 0;
Point selected_cell;
int selected_row_index = 0;

namespace {

constexpr const char* CHOOSE_ONE_TEXT = "Master 한 개를 선택하십시요 !";

// A row is chosen when the last click named an existing row in the name column. Otherwise the
// operator is told what is missing and false is returned.
bool Row_is_chosen(const char* missing_choice_title) {
    if (selected_row_index < 1 || selected_row_index > registered_master_no) {
        MessagePopup(missing_choice_title, CHOOSE_ONE_TEXT);
        return false;
    }
    if (selected_cell.x != 1) {
        MessagePopup("선택 에러", "행의 번호를 선책하십시요.");
        return false;
    }
    return true;
}

void Append_row(const MasterRecord& row) {
    ++registered_master_no;
    InsertTableRows(masterHandle, MASTER_TABLE, -1, 1, VAL_USE_MASTER_CELL_TYPE);
    SetTableCellVal(masterHandle, MASTER_TABLE, MakePoint(1, registered_master_no), row.name);
    SetTableCellVal(masterHandle, MASTER_TABLE, MakePoint(2, registered_master_no),
                    static_cast<double>(row.voltage));
    SetTableCellVal(masterHandle, MASTER_TABLE, MakePoint(3, registered_master_no), row.width);
    SetTableCellVal(masterHandle, MASTER_TABLE, MakePoint(4, registered_master_no), row.pulse_no);
    SetTableCellVal(masterHandle, MASTER_TABLE, MakePoint(5, registered_master_no), row.area);
    SetTableCellVal(masterHandle, MASTER_TABLE, MakePoint(6, registered_master_no), row.phase);
}

// Appends a row for each record of the store and shows their number.
void Fill_table(bool quiet) {
    registered_master_no = 0;
    List_scan(Append_row, quiet);
    SetCtrlVal(masterHandle, MASTER_COUNT, registered_master_no);
}

}  // namespace

int Master_list(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    HidePanel(setupHandle);
    SetCtrlAttribute(masterHandle, MASTER_TABLE, ATTR_TABLE_EDITABLE, 0);
    DisplayPanel(masterHandle);
    selected_cell.x = 0;
    selected_row_index = 0;
    Fill_table(false);
    return 0;
}

int TableCB(int, int, int event, void*, int, int) {
    if (event == EVENT_LEFT_CLICK) {
        PostDeferredCall(getCell, nullptr);
    }
    return 0;
}

void getCell(void*) {
    GetActiveTableCell(masterHandle, MASTER_TABLE, &selected_cell);
    selected_row_index = selected_cell.y;
}

int Master_select(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT || !Row_is_chosen("마스터 선택 경고")) {
        return 0;
    }
    MasterRecord record;
    if (!Read_record(selected_row_index, &record)) {
        return 0;
    }
    Set_current_master(record);
    SetCtrlVal(setupHandle, SETUP_MODEL_NAME, master_name);
    SetCtrlVal(setupHandle, SETUP_VOLTAGE, static_cast<double>(voltage));
    SetCtrlVal(setupHandle, SETUP_WIDTH, width);
    SetCtrlVal(setupHandle, SETUP_PULSE, pulse_no);
    SetCtrlVal(setupHandle, SETUP_AREA, area);
    SetCtrlVal(setupHandle, SETUP_PHASE, phase);
    SetCtrlVal(setupHandle, SETUP_CORONA, corona);
    Replace_plot(setupHandle, SETUP_GRAPH, &setup_plotHandle, wave, VAL_RED);
    Close_store();
    DeleteTableRows(masterHandle, MASTER_TABLE, 1, -1);
    registered_master_no = 0;
    HidePanel(masterHandle);
    DisplayPanel(setupHandle);
    return 0;
}

int Master_delete(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT || !Row_is_chosen("마스터 삭제 경고")) {
        return 0;
    }
    if (!access_control::Reauthenticate(access_control::Command::CHANGE_MASTER, "마스터 삭제")) {
        return 0;
    }
    // The store first. When the change failed, it may have begun: the table is read again
    // from the store, so that row r stays record r, and the choice is made anew.
    MasterRecord last;
    MasterRecord deleted;
    if (!Delete_record(selected_row_index, &last, &deleted)) {
        DeleteTableRows(masterHandle, MASTER_TABLE, 1, -1);
        Fill_table(true);
        selected_row_index = 0;
        return 0;
    }
    trail::Audit(trail::AUDIT_MASTER_DELETED, deleted.name, Master_description(deleted), "");
    // The current master holds the last record read: the store's last, or the deleted one.
    Set_current_master(last);
    DeleteTableRows(masterHandle, MASTER_TABLE, selected_row_index, 1);
    registered_master_no = registered_master_no - 1;
    SetCtrlVal(masterHandle, MASTER_COUNT, registered_master_no);
    selected_row_index = 0;
    return 0;
}

int Master_cancel(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    DeleteTableRows(masterHandle, MASTER_TABLE, 1, -1);
    registered_master_no = 0;
    if (file_opened == 1) {
        Close_store();
    }
    HidePanel(masterHandle);
    DisplayPanel(setupHandle);
    return 0;
}
