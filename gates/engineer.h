// The engineer's approval that an override or an acknowledgement needs: under access control the
// user logged in must be an engineer (or administrator) and give the password again; then, as
// without access control, the reason is asked.
#pragma once

#include <string>

namespace gates {

// Asks for the engineer's reason for `what` ("재검사 한도 무시" ...); false when none was given.
// `if_cancelled` tells what a cancel leaves as it is.
bool EngineerApproves(const char* what, std::string* reason,
                      const char* if_cancelled = "시작하지 않습니다");

}  // namespace gates
