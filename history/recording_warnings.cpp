#include "history/recording_warnings.h"

#include <deque>

#include "toolkit/toolkit.h"

namespace history {

namespace {

std::deque<std::string>& Untold() {
    static auto* texts = new std::deque<std::string>;
    return *texts;
}

void ShowWarning(void*) {
    if (!Untold().empty()) {
        const std::string text = Untold().front();
        Untold().pop_front();
        MessagePopup(WARNING_TITLE, text.c_str());
    }
}

}  // namespace

void Tell(const std::string& text) {
    Untold().push_back(text);
    // After the running cycle: its verdict and its own messages come first.
    PostDeferredCall(ShowWarning, nullptr);
}

void Tell(TellOnce* once, const std::string& text) {
    if (once->Due()) {
        Tell(text);
    }
}

}  // namespace history
