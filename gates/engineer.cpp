#include "gates/engineer.h"

#include <string>

#include "access/login.h"
#include "access/roles.h"
#include "toolkit/toolkit.h"

namespace gates {

bool EngineerApproves(const char* what, std::string* reason, const char* if_cancelled) {
    constexpr int MOST = 256;
    // Under access control the user logged in must be an engineer and give the password again.
    if (!access_control::Reauthenticate(access_control::Command::OVERRIDE_GATE, what)) {
        return false;
    }
    char text[MOST] = {0};
    const std::string question = std::string(what) +
                                 "\n엔지니어가 사유를 입력하면 계속합니다. 취소하면 " +
                                 if_cancelled + ".";
    if (PromptPopup("엔지니어 승인", question.c_str(), text, MOST) != 1) {
        return false;
    }
    *reason = text;
    return true;
}

}  // namespace gates
