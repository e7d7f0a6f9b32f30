// The export command: the last inspection into "excel_file.dat", then the spreadsheet program
// started on the workbook.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/surge.h"
#include "app/surge_uir.h"
#include "export/export.h"
#include "export/workbook.h"

namespace {

constexpr const char* EXCEL_FILE = "excel_file.dat";
constexpr int TEXT_SIZE = 260;

// Length of the UTF-8 character that starts with `lead`.
std::size_t Utf8_length(unsigned char lead) {
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

// The model text in code page 949, as the spreadsheet reads it. A character that the code page
// lacks becomes '?', so the rest of the line still lines up; *substituted tells.
std::string Legacy_model_text(const char* model, bool* substituted) {
    std::string legacy;
    *substituted = false;
    if (ToLegacyText(model, &legacy)) {
        return legacy;
    }
    legacy.clear();
    const std::size_t length = std::strlen(model);
    for (std::size_t i = 0; i < length;) {
        const std::size_t n = Utf8_length(static_cast<unsigned char>(model[i]));
        const std::string character(model + i, std::min(n, length - i));
        std::string converted;
        if (ToLegacyText(character.c_str(), &converted)) {
            legacy += converted;
        } else {
            legacy += '?';
            *substituted = true;
        }
        i += character.size();
    }
    return legacy;
}

// Writes the data file. False when any part of it could not be written.
bool Write_excel_file(const std::string& model, const char* date) {
    std::FILE* fp = std::fopen(EXCEL_FILE, "w");
    if (fp == nullptr) {
        return false;
    }
    bool written =
        std::fprintf(fp, "%s %f %d %d %d %d %d %s\n", model.c_str(), static_cast<double>(voltage),
                     width, pulse_no, judge, area, phase, result) >= 0;
    written = written && std::fprintf(fp, "%s\n", date) >= 0;
    for (int i = 0; written && i < WAVE_SAMPLES; i++) {
        written = std::fprintf(fp, "%d %d\n", static_cast<int>(wave[i]),
                               static_cast<int>(measured_wave[i])) >= 0;
    }
    // The buffered tail reaches the disk only here: a full disk shows up at the close.
    const bool closed = std::fclose(fp) == 0;
    return written && closed;
}

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
            MessagePopup("경  고",
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
        MessagePopup("경  고", message.c_str());
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
        MessagePopup("경  고",
                     "excel_file.dat 을 쓸 수 없습니다.\n"
                     "디스크 공간과 쓰기 권한을 확인한 뒤 다시 저장하십시요.");
        return 0;
    }
    if (substituted) {
        MessagePopup("경  고", "모델 이름의 일부 문자를 엑셀 파일에 쓸 수 없어 '?' 로 적었습니다.");
    }
    Launch_spreadsheet();
    return 0;
}
