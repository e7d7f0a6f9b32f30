// The choice of the spreadsheet program: the file dialog, then excel_path, the path field and
// "excel_path.txt", which start-up reads back.
#include <cstring>
#include <string>

#include "access/login.h"
#include "export/export.h"
#include "export/workbook.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"

namespace {

#ifdef _WIN32
constexpr const char* PROGRAM_DIRECTORY = "c:\\Program Files\\Microsoft Office\\Office";
#else
constexpr const char* PROGRAM_DIRECTORY = "/usr/bin";
#endif

// Replaces the path file with the path's bytes alone: no terminator, no line end.
bool Write_excel_path_file(const char* path, int n) {
    const int file = OpenFile(EXCEL_PATH_FILE, VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    if (file < 0) {
        return false;
    }
    const bool written = WriteFile(file, path, n) == n;
    const bool closed = CloseFile(file) == 0;
    return written && closed;
}

}  // namespace

int Excel_path_select(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    if (!access_control::Reauthenticate(access_control::Command::CHOOSE_PROGRAM,
                                        "엑셀 프로그램 선택")) {
        return 0;
    }
    char path[EXCEL_PATH_SIZE] = {0};
    if (FileSelectPopup(PROGRAM_DIRECTORY, "*.exe", "*.exe", "excel", VAL_SELECT_BUTTON, 0, 1, 1, 0,
                        path) == VAL_NO_FILE_SELECTED) {
        return 0;
    }
    // The path and the workbook argument must fit excel_path together.
    if (std::strlen(path) + std::strlen(WORKBOOK_ARGUMENT) >= EXCEL_PATH_SIZE) {
        MessagePopup(WARNING_TITLE,
                     "엑셀 프로그램 경로가 너무 깁니다 (최대 249 자).\n"
                     "더 짧은 경로의 프로그램을 선택하십시요.");
        return 0;
    }

    std::string before = excel_path;
    if (before.size() >= std::strlen(WORKBOOK_ARGUMENT)) {
        before.resize(before.size() - std::strlen(WORKBOOK_ARGUMENT));
    }
    trail::Audit(trail::AUDIT_PROGRAM_CHOSEN, EXCEL_PATH_FILE, before, path);
    std::strcpy(excel_path, path);
    const int n = StringLength(excel_path);
    SetCtrlVal(setupHandle, SETUP_EXCEL_PATH, excel_path);
    if (!Write_excel_path_file(excel_path, n)) {
        MessagePopup(WARNING_TITLE,
                     "excel_path.txt 를 쓸 수 없습니다.\n"
                     "선택한 엑셀 프로그램은 이번 실행 동안만 쓰입니다.");
    }
    std::strcat(excel_path, WORKBOOK_ARGUMENT);
    return 0;
}
