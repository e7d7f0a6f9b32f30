// The popups' script: while it is active, popups are recorded and answered from its queues
// instead of being shown. Tests and tools set it through toolkit_testing.h.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace toolkit_internal {

enum class PopupKind { MESSAGE, CONFIRM, FILE_SELECT, PASSWORD, PROMPT };

struct ShownPopup {
    PopupKind kind;
    std::string title;
    std::string text;  // the message; for the file dialog, its default directory and file pattern
};

struct PopupScript {
    bool active = false;
    std::deque<int> confirm_answers;
    std::deque<std::string> file_answers;
    std::deque<std::string> prompt_answers;  // "" cancels
    std::deque<std::string> password_answers;
    std::vector<ShownPopup> shown;
};

PopupScript& CurrentPopupScript();

// Under an active script: records the question and answers it from the queue, no when it is empty.
int AnswerConfirm(PopupScript& script, const char* title, const char* message);
// The same for a prompt: the next queued text, or a cancel (false) when none is queued or it is
// empty.
bool AnswerPrompt(PopupScript& script, const char* title, const char* message, std::string* text);

// A prompt's answer into the caller's buffer: the text cut to fit at a character's start, or an
// empty buffer; returns PromptPopup's result.
int CopyResponse(bool answered, const std::string& text, char* buffer, int size);

}  // namespace toolkit_internal
