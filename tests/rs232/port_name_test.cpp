// The device a port name stands for: SURGE_COM<n>, else the machine's own name for the port.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "rs232/rs232.h"

namespace {

void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value == nullptr ? "" : value);
#else
    value == nullptr ? unsetenv(name) : setenv(name, value, 1);
#endif
}

#ifdef _WIN32
constexpr const char* FIRST_PORT = "COM1";
constexpr const char* SECOND_PORT = "COM2";
#else
constexpr const char* FIRST_PORT = "/dev/ttyS0";
constexpr const char* SECOND_PORT = "/dev/ttyS1";
#endif

TEST(PortName, ComNamesMapOntoDevices) {
    const char* saved = std::getenv("SURGE_COM1");
    const std::string previous = saved ? saved : "";
    const struct {
        const char* variable;  // SURGE_COM1; nullptr: not set
        const char* name;
        const char* device;
    } cases[] = {
        {nullptr, "COM1", FIRST_PORT},
        {nullptr, "COM2", SECOND_PORT},
        {nullptr, "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {nullptr, "COM9", "COM9"},
        {"/dev/ttyUSB3", "COM1", "/dev/ttyUSB3"},
        {"", "COM1", FIRST_PORT},
    };
    for (const auto& c : cases) {
        SetVariable("SURGE_COM1", c.variable);
        EXPECT_STREQ(DeviceForPortName(c.name), c.device) << c.name;
    }
    SetVariable("SURGE_COM1", saved ? previous.c_str() : nullptr);
}

}  // namespace
