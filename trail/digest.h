// SHA-256 of bytes, in lower-case hex: the version of a master, the hash of an audit row.
#pragma once

#include <string>

namespace trail {

std::string Sha256Hex(const std::string& bytes);

}  // namespace trail
