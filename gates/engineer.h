// The engineer's approval that an override or an acknowledgement needs. Without access control it
// asks for the reason alone; with it, this is where the engineer's login is asked again.
#pragma once

#include <string>

namespace gates {

// Asks for the engineer's reason for `what` ("재검사 한도 무시" ...); false when none was given.
bool EngineerApproves(const char* what, std::string* reason);

}  // namespace gates
