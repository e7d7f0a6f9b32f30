// Serial devices on Windows: COM1 is the device COM1. A port that another program holds is
// refused as access denied, so a refusal says busy rather than forbidden.
#include "rs232/port_device.h"

namespace rs232_platform {

std::string Default_device(int number) {
    return "COM" + std::to_string(number);
}

bool Access_denied(const char*) {
    return false;
}

}  // namespace rs232_platform
