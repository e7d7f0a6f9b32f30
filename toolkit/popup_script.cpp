#include "toolkit/popup_script.h"

#include <algorithm>
#include <cstring>

namespace toolkit_internal {
PopupScript& CurrentPopupScript() {
    static PopupScript instance;
    return instance;
}

int AnswerConfirm(PopupScript& script, const char* title, const char* message) {
    script.shown.push_back({PopupKind::CONFIRM, title, message});
    if (script.confirm_answers.empty()) {
        return 0;
    }
    const int answer = script.confirm_answers.front();
    script.confirm_answers.pop_front();
    return answer;
}

bool AnswerPrompt(PopupScript& script, const char* title, const char* message, std::string* text) {
    script.shown.push_back({PopupKind::PROMPT, title, message});
    if (script.prompt_answers.empty()) {
        return false;
    }
    *text = script.prompt_answers.front();
    script.prompt_answers.pop_front();
    return !text->empty();
}

int CopyResponse(bool answered, const std::string& text, char* buffer, int size) {
    if (size <= 0) {
        return 0;
    }
    std::size_t length = answered ? std::min(text.size(), static_cast<std::size_t>(size - 1)) : 0;
    while (length > 0 && length < text.size() && (text[length] & 0xC0) == 0x80) {
        --length;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return answered ? 1 : 0;
}
}  // namespace toolkit_internal
