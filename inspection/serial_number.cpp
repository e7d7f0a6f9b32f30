#include "inspection/serial_number.h"

#include <cstdio>

#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"

namespace {

constexpr const char* BLANKS = " \t";

int Character_count(const std::string& utf8) {
    int count = 0;
    for (const unsigned char byte : utf8) {
        count += (byte & 0xC0) != 0x80;
    }
    return count;
}

}  // namespace

bool Read_serial(std::string* serial) {
    // Room for a read longer than any serial number, so that it shows as too long.
    char text[4 * SERIAL_MAX_CHARACTERS + 8] = {0};
    GetCtrlVal(mainHandle, MAIN_SERIAL, text);
    std::string read = text;
    const std::size_t first = read.find_first_not_of(BLANKS);
    read = first == std::string::npos
               ? std::string()
               : read.substr(first, read.find_last_not_of(BLANKS) - first + 1);
    if (Character_count(read) > SERIAL_MAX_CHARACTERS) {
        char message[128];
        std::snprintf(message, sizeof message, "일련번호가 %d 자를 넘습니다. 다시 읽으십시요.",
                      SERIAL_MAX_CHARACTERS);
        SetCtrlVal(mainHandle, MAIN_SERIAL, "");
        SetCtrlVal(mainHandle, MAIN_SERIAL_REFUSED, message);
        SetCtrlAttribute(mainHandle, MAIN_SERIAL_REFUSED, ATTR_VISIBLE, 1);
        return false;
    }
    *serial = read;
    return true;
}

void Clear_serial_refusal() {
    SetCtrlAttribute(mainHandle, MAIN_SERIAL_REFUSED, ATTR_VISIBLE, 0);
}

void Show_retests(int earlier) {
    const std::string text = earlier > 0 ? "재검사 " + std::to_string(earlier) + "회" : "";
    SetCtrlVal(mainHandle, MAIN_RETEST, text.c_str());
    SetCtrlAttribute(mainHandle, MAIN_RETEST, ATTR_VISIBLE, earlier > 0 ? 1 : 0);
}
