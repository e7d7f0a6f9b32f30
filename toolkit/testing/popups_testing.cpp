// The seams below the panels: the popups' script and the launcher.
#include "toolkit/launch_platform.h"
#include "toolkit/popup_script.h"
#include "toolkit/toolkit_testing.h"

namespace toolkit_testing {

using toolkit_internal::Popup_script;
using toolkit_internal::PopupScript;

void ScriptPopups(bool scripted) {
    Popup_script().active = scripted;
}
void QueueConfirmAnswer(int answer) {
    Popup_script().confirmAnswers.push_back(answer);
}
void QueueFileAnswer(const std::string& path) {
    Popup_script().fileAnswers.push_back(path);
}
const std::vector<ShownPopup>& ShownPopups() {
    return Popup_script().shown;
}
void ClearShownPopups() {
    Popup_script().shown.clear();
}
int PendingAnswers() {
    const PopupScript& s = Popup_script();
    return static_cast<int>(s.confirmAnswers.size() + s.fileAnswers.size());
}

void SetLauncher(Launcher launcher) {
    toolkit_platform::Replacement_launcher() = std::move(launcher);
}

}  // namespace toolkit_testing
