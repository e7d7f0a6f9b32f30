// The device a port name stands for.
#include <cstdlib>
#include <string>

#include "rs232/port_device.h"
#include "rs232/rs232.h"

const char* DeviceForPortName(const char* device_name) {
    static std::string device;
    const std::string name = device_name == nullptr ? "" : device_name;
    device = name;
    if (name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '8') {
        const std::string variable = "SURGE_" + name;
        const char* configured = std::getenv(variable.c_str());
        device = configured != nullptr && configured[0] != '\0'
                     ? std::string(configured)
                     : rs232_platform::DefaultDevice(name[3] - '0');
    }
    return device.c_str();
}
