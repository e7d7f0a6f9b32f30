// Why a name cannot be a master's: the store's line holds the name as one token of code page 949
// characters, at most 12 of them.
#include <string>

#include "master/master.h"

namespace {

bool Is_blank(const std::string& character) {
    for (const char* blank : {" ", "\t", "\n", "\v", "\f", "\r", "\u3000"}) {
        if (character == blank) {
            return true;
        }
    }
    return false;
}

bool Is_control(const std::string& character) {
    const auto byte = static_cast<unsigned char>(character[0]);
    return character.size() == 1 && (byte < 0x20 || byte == 0x7F);
}

}  // namespace

std::string Master_name_fault(const char* name) {
    bool blank = false;
    bool control = false;
    int characters = 0;
    std::string unwritable;
    for (const char* at = name; *at != '\0';) {
        const char* next = at + 1;
        while ((static_cast<unsigned char>(*next) & 0xC0) == 0x80) {
            ++next;
        }
        const std::string character(at, next);
        at = next;
        ++characters;
        std::string legacy;
        if (Is_blank(character)) {
            blank = true;
        } else if (Is_control(character)) {
            control = true;
        } else if (!ToLegacyText(character.c_str(), &legacy) &&
                   unwritable.find("'" + character + "'") == std::string::npos) {
            unwritable += (unwritable.empty() ? "'" : ", '") + character + "'";
        }
    }
    std::string why;
    if (blank) {
        why += "\n모델명에 빈 칸이 있습니다.";
    }
    if (control) {
        why += "\n모델명에 제어 문자가 있습니다.";
    }
    if (characters > MODEL_NAME_MAX_CHARS) {
        why +=
            "\n모델명이 " + std::to_string(characters) + " 자입니다. (모델명 글자 수 : 최대 12 자)";
    }
    if (!unwritable.empty()) {
        why += "\n" + unwritable + " 글자는 Master 파일에 저장할 수 없습니다.";
    }
    return why.empty() ? why : "저장할 수 없는 Master 모델명입니다." + why;
}
