// "보고서" on the history panel: the report of the current shift or of the filter's period,
// written to the file the operator names, with the hour glass and its progress on the panel.
#include <cstdio>
#include <string>

#include "history/history_query.h"
#include "history/history_uir.h"
#include "history/production.h"
#include "process/chart_image.h"
#include "process/process_panel.h"
#include "process/shift_report.h"

namespace {

void Warn(const char* text) {
    MessagePopup(WARNING_TITLE, text);
}

}  // namespace

void Write_report(int panel, const history::Reader& reader, const history::Filter& filter) {
    history::Filter asked = filter;
    int month = 0, day = 0, year = 0;
    GetSystemDate(&month, &day, &year);
    const history::Period shift = history::ShiftAt(year, month, day, process::MinuteOfDay());
    history::Filter shift_filter = asked;
    shift_filter.from_at = shift.from_at;
    shift_filter.to_at = shift.to_at;
    const std::string question = "지금 근무조 (" + process::PeriodText(shift_filter) +
                                 ")의 보고서를 만듭니까?\n\"아니오\"를 누르면 조회 기간 (" +
                                 process::PeriodText(asked) + ")으로 만듭니다.";
    if (ConfirmPopup("보고서", question.c_str()) == 1) {
        asked = shift_filter;
    }
    char path[512] = "";
    if (FileSelectPopup("", "*.pdf", "*.pdf", "보고서 저장", VAL_SAVE_BUTTON, 0, 1, 1, 1, path) ==
        VAL_NO_FILE_SELECTED) {
        return;
    }
    // A month of records takes seconds: the hour glass, and the parts written on the page field.
    char page[64] = "";
    GetCtrlVal(panel, HISTORY_PAGE, page);
    SetMouseCursor(VAL_HOUR_GLASS_CURSOR);
    const process::ReportResult result = process::WriteShiftReport(
        reader, asked, path, process::NowText(), [panel](int done, int total) {
            char text[64];
            std::snprintf(text, sizeof text, "보고서 작성 중 %d / %d", done, total);
            SetCtrlVal(panel, HISTORY_PAGE, text);
            ProcessDrawEvents();
        });
    SetMouseCursor(VAL_DEFAULT_CURSOR);
    SetCtrlVal(panel, HISTORY_PAGE, page);
    if (result == process::ReportResult::READ_FAILED) {
        Warn("검사 이력을 읽을 수 없어 보고서를 만들지 않았습니다.");
    } else if (result == process::ReportResult::WRITE_FAILED) {
        std::string text = "\"";
        text += path;
        text += "\" 파일을 저장할 수 없습니다.\n저장할 곳과 디스크의 빈 자리를 확인하십시요.";
        Warn(text.c_str());
    }
    return;
}
