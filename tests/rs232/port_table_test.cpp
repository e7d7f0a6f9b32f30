#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "rs232/rs232.h"

namespace {

TEST(PortTable, EveryCallRefusesPortNumbersOutsideOneToEight) {
    char buffer[4] = {};
    for (const int port : {0, 9, -1}) {
        SCOPED_TRACE(port);
        EXPECT_EQ(OpenComConfig(port, "COM1", 115200, 0, 8, 1, 512, 512), RS232_INVALID_PORT);
        EXPECT_EQ(CloseCom(port), RS232_INVALID_PORT);
        EXPECT_EQ(SetCTSMode(port, 0), RS232_INVALID_PORT);
        EXPECT_EQ(SetComTime(port, 1.0), RS232_INVALID_PORT);
        EXPECT_EQ(FlushInQ(port), RS232_INVALID_PORT);
        EXPECT_EQ(FlushOutQ(port), RS232_INVALID_PORT);
        EXPECT_EQ(ComWrt(port, "ME\r", 3), RS232_INVALID_PORT);
        EXPECT_EQ(ComRd(port, buffer, 4), RS232_INVALID_PORT);
        EXPECT_EQ(GetInQLen(port), RS232_INVALID_PORT);
    }
}

TEST(PortTable, EveryCallOnAPortNeverOpenedSaysNotOpen) {
    char buffer[4] = {};
    EXPECT_EQ(CloseCom(3), RS232_PORT_NOT_OPEN);
    EXPECT_EQ(SetCTSMode(3, 0), RS232_PORT_NOT_OPEN);
    EXPECT_EQ(SetComTime(3, 1.0), RS232_PORT_NOT_OPEN);
    EXPECT_EQ(FlushInQ(3), RS232_PORT_NOT_OPEN);
    EXPECT_EQ(FlushOutQ(3), RS232_PORT_NOT_OPEN);
    EXPECT_EQ(ComWrt(3, "ME\r", 3), RS232_PORT_NOT_OPEN);
    EXPECT_EQ(ComRd(3, buffer, 4), RS232_PORT_NOT_OPEN);
    EXPECT_EQ(GetInQLen(3), RS232_PORT_NOT_OPEN);
}

TEST(PortTable, OpenFailuresMapOntoTheirStatuses) {
    const struct {
        const char* device;
        long baud;
        int parity, data_bits, stop_bits;
        int expected;
    } cases[] = {
        {"/dev/surge-no-such-port", 115200, 0, 8, 1, RS232_PORT_NOT_OPEN},
        {"", 115200, 0, 8, 1, RS232_PORT_NOT_OPEN},
        {"/dev/null", 115200, 0, 9, 1, RS232_BAD_SETTING},
        {"/dev/null", 115200, 7, 8, 1, RS232_BAD_SETTING},
        {"/dev/null", 115200, 0, 8, 3, RS232_BAD_SETTING},
        {"/dev/null", 0, 0, 8, 1, RS232_BAD_SETTING},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        EXPECT_EQ(OpenComConfig(4, c.device, c.baud, c.parity, c.data_bits, c.stop_bits, 512, 512),
                  c.expected);
        EXPECT_EQ(CloseCom(4), RS232_PORT_NOT_OPEN);
    }
}

TEST(PortTable, ADeviceWithoutAccessIsAPermissionFailure) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root opens any device";
    }
    char path[] = "/tmp/surge-locked-port-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    chmod(path, 0);
    EXPECT_EQ(OpenComConfig(4, path, 115200, 0, 8, 1, 512, 512), RS232_PERMISSION);
    unlink(path);
}

}  // namespace
