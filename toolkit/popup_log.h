// The log's record of the warnings shown, for both builds of the popups.
#pragma once

namespace toolkit_internal {

// Logs `message` when `title` is the warning title (WARNING_TITLE).
void LogIfWarning(const char* title, const char* message);

}  // namespace toolkit_internal
