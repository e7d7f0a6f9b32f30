#include "toolkit/popup_script.h"

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
}  // namespace toolkit_internal
