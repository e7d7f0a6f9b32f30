// What the port library asks of the system, one implementation per platform.
#pragma once

#include <string>

namespace rs232_platform {

// The device of port COM<number> (1 to 8) when SURGE_COM<number> does not name one.
std::string DefaultDevice(int number);
// True when the device exists but this user may not open it for reading and writing.
bool AccessDenied(const char* path);

}  // namespace rs232_platform
