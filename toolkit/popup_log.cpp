#include "toolkit/popup_log.h"

#include <cstring>

#include "log/log.h"
#include "toolkit/toolkit.h"

void toolkit_internal::LogIfWarning(const char* title, const char* message) {
    if (title != nullptr && message != nullptr && std::strcmp(title, WARNING_TITLE) == 0) {
        surge_log::Write("warning", message);
    }
}
