// Popups of the build without panels: a message or a question goes to the standard error
// stream and a question is answered no; under the popup script they are recorded and answered
// as in the panels' build. A warning is logged either way.
#include <cstdio>

#include "toolkit/popup_log.h"
#include "toolkit/popup_script.h"
#include "toolkit/toolkit.h"

using toolkit_internal::CurrentPopupScript;
using toolkit_internal::PopupKind;
using toolkit_internal::PopupScript;

int MessagePopup(const char* title, const char* message) {
    toolkit_internal::LogIfWarning(title, message);
    PopupScript& s = CurrentPopupScript();
    if (s.active) {
        s.shown.push_back({PopupKind::MESSAGE, title, message});
    } else {
        std::fprintf(stderr, "%s\n%s\n", title, message);
    }
    return 0;
}

int ConfirmPopup(const char* title, const char* message) {
    PopupScript& s = CurrentPopupScript();
    if (!s.active) {
        std::fprintf(stderr, "%s\n%s\n", title, message);
        return 0;
    }
    return toolkit_internal::AnswerConfirm(s, title, message);
}

int PromptPopup(const char* title, const char* message, char* responseBuffer,
                int maxResponseLength) {
    PopupScript& s = CurrentPopupScript();
    std::string text;
    if (!s.active) {
        std::fprintf(stderr, "%s\n%s\n", title, message);
        return toolkit_internal::CopyResponse(false, text, responseBuffer, maxResponseLength);
    }
    const bool answered = toolkit_internal::AnswerPrompt(s, title, message, &text);
    return toolkit_internal::CopyResponse(answered, text, responseBuffer, maxResponseLength);
}
