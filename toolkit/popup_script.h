// The popups' script: while it is active, popups are recorded and answered from its queues
// instead of being shown (toolkit_testing.h).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "toolkit/toolkit_testing.h"

namespace toolkit_internal {

struct PopupScript {
    bool active = false;
    std::deque<int> confirmAnswers;
    std::deque<std::string> fileAnswers;
    std::vector<toolkit_testing::ShownPopup> shown;
};

PopupScript& Popup_script();

}  // namespace toolkit_internal
