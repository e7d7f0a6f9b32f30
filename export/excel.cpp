// The export command: the last inspection into "excel_file.dat", then the spreadsheet program
// started on the workbook.
#include <cstdio>
#include <cstring>
#include <string>

#include "export/excel_file.h"
#include "export/export.h"
#include "export/workbook.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int TEXT_SIZE = 260;

// Starts the chosen program on the workbook, or the desktop's program for it when none was
// chosen. The program is what excel_path holds before the workbook argument; it is started
// directly, so blanks and shell characters in its path stay part of the path.
void Launch_spreadsheet() {
    std::string program = excel_path;
    const std::size_t argument_length = std::strlen(WORKBOOK_ARGUMENT);
    if (program.size() >= argument_length &&
        program.compare(program.size() - argument_length, argument_length, WORKBOOK_ARGUMENT) ==
            0) {
        program.resize(program.size() - argument_length);
    }

    if (program.empty()) {
        if (FileExists(WORKBOOK) == 0 || OpenWithDefaultProgram(WORKBOOK) < 0) {
            MessagePopup(WARNING_TITLE,
                         "chart.xls 를 열 수 없습니다.\n"
                         "Master 등록 화면에서 엑셀 프로그램을 선택하십시요.\n"
                         "(excel_file.dat 은 저장되었습니다.)");
        }
        return;
    }
    if (LaunchProgram(program.c_str(), WORKBOOK) < 0) {
        const std::string message = "엑셀 프로그램을 실행할 수 없습니다:\n" + program +
                                    "\nMaster 등록 화면에서 엑셀 프로그램을 다시 선택하십시요.\n"
                                    "(excel_file.dat 은 저장되었습니다.)";
        MessagePopup(WARNING_TITLE, message.c_str());
    }
}

}  // namespace

int Excel(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) {
        return 0;
    }
    char model[TEXT_SIZE] = {0};
    GetCtrlVal(mainHandle, MAIN_MODEL, model);
    bool substituted = false;
    const std::string legacy_model = Legacy_model_text(model, &substituted);

    int month = 0;
    int day = 0;
    int year = 0;
    char date[TEXT_SIZE] = {0};
    GetSystemDate(&month, &day, &year);
    std::snprintf(date, sizeof date, "%d-%d-%d", year, month, day);

    if (!Write_excel_file(legacy_model, date)) {
        MessagePopup(WARNING_TITLE,
                     "excel_file.dat 을 쓸 수 없습니다.\n"
                     "디스크 공간과 쓰기 권한을 확인한 뒤 다시 저장하십시요.");
        return 0;
    }
    if (substituted) {
        MessagePopup(WARNING_TITLE,
                     "모델 이름의 일부 문자를 엑셀 파일에 쓸 수 없어 '?' 로 적었습니다.");
    }
    Launch_spreadsheet();
    return 0;
}
