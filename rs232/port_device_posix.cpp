// Serial devices on POSIX: COM1 is /dev/ttyS0, COM2 /dev/ttyS1 and so on.
#include <unistd.h>

#include <cerrno>

#include "rs232/port_device.h"

namespace rs232_platform {

std::string DefaultDevice(int number) {
    return "/dev/ttyS" + std::to_string(number - 1);
}

bool AccessDenied(const char* path) {
    return ::access(path, R_OK | W_OK) != 0 && errno == EACCES;
}

}  // namespace rs232_platform
