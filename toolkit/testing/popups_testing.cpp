// The seams below the panels: the popups' script and the launcher.
#include "toolkit/launch_platform.h"
#include "toolkit/popup_script.h"
#include "toolkit/toolkit_testing.h"

namespace toolkit_testing {

using toolkit_internal::CurrentPopupScript;
using toolkit_internal::PopupScript;

void ScriptPopups(bool scripted) {
    CurrentPopupScript().active = scripted;
}
void QueueConfirmAnswer(int answer) {
    CurrentPopupScript().confirm_answers.push_back(answer);
}
void QueueFileAnswer(const std::string& path) {
    CurrentPopupScript().file_answers.push_back(path);
}
void QueuePromptAnswer(const std::string& text) {
    CurrentPopupScript().prompt_answers.push_back(text);
}
void QueuePasswordAnswer(const std::string& password) {
    CurrentPopupScript().password_answers.push_back(password);
}
const std::vector<ShownPopup>& ShownPopups() {
    return CurrentPopupScript().shown;
}
void ClearShownPopups() {
    CurrentPopupScript().shown.clear();
}
int PendingAnswers() {
    const PopupScript& s = CurrentPopupScript();
    return static_cast<int>(s.confirm_answers.size() + s.file_answers.size() +
                            s.prompt_answers.size() + s.password_answers.size());
}

void SetLauncher(Launcher launcher) {
    toolkit_platform::ReplacementLauncher() = std::move(launcher);
}

}  // namespace toolkit_testing
