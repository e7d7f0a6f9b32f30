// Serial devices on Windows: COM1 is the device COM1. A port that another program holds is
// refused as access denied, so a refusal says busy rather than forbidden.
#include "rs232/port_device.h"

namespace rs232_platform {

std::string DefaultDevice(int number) {
    return "COM" + std::to_string(number);
}

bool AccessDenied(const char*) {
    return false;
}

}  // namespace rs232_platform
