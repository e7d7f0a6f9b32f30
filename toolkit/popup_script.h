// The popups' script: while it is active, popups are recorded and answered from its queues
// instead of being shown. Tests and tools set it through toolkit_testing.h.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace toolkit_internal {

enum class PopupKind { Message, Confirm, FileSelect };

struct ShownPopup {
    PopupKind kind;
    std::string title;
    std::string text;  // the message; for the file dialog, its default directory and file pattern
};

struct PopupScript {
    bool active = false;
    std::deque<int> confirmAnswers;
    std::deque<std::string> fileAnswers;
    std::vector<ShownPopup> shown;
};

PopupScript& Popup_script();

}  // namespace toolkit_internal
