// SHA-256 of bytes, in lower-case hex: the version of a master, the hash of an audit row.
#pragma once

#include <string>

namespace access_control {

std::string Sha256Hex(const std::string& bytes);

}  // namespace access_control
