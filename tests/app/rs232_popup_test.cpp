// The port's open and close statuses as the operator reads them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "instrument/serial.h"
#include "rs232/rs232.h"
#include "toolkit/toolkit_testing.h"

using namespace toolkit_testing;

namespace {

TEST(Rs232PopupTest, EachStatusHasItsText) {
    const struct {
        int status;
        const char* text;
    } cases[] = {
        {-3, "No port is open.\nCheck COM Port setting in Configure."},
        {-2, "Invalid port number (must be in the range 1 to 8)."},
        {-99,
         "Timeout error.\n\nEither increase timeout value,\n       check COM Port setting, "
         "or\n       check device."},
        {-7, "RS232 error number -7"},
        {-1234, "RS232 error number -1234"},
    };
    for (const auto& c : cases) {
        ClearShownPopups();
        RS232Error = c.status;
        DisplayRS232Error();
        ASSERT_EQ(ShownPopups().size(), 1u);
        EXPECT_EQ(ShownPopups()[0].kind, PopupKind::MESSAGE);
        EXPECT_EQ(ShownPopups()[0].title, "RS232 Message");
        EXPECT_EQ(ShownPopups()[0].text, c.text);
    }
}

TEST(Rs232PopupTest, MissingDeviceIsReportedOnceAndTheStationGoesOn) {
    ClearShownPopups();
    setenv("SURGE_COM1", "/nonexistent/ttyS77", 1);
    Init_com_port();
    EXPECT_EQ(RS232Error, RS232_PORT_NOT_OPEN);
    ASSERT_EQ(ShownPopups().size(), 1u);
    EXPECT_EQ(ShownPopups()[0].text, "No port is open.\nCheck COM Port setting in Configure.");
    char reply[10] = {};
    EXPECT_LE(ComRd(1, reply, 10), 0);  // the port stays unusable, without a word
    EXPECT_EQ(ShownPopups().size(), 1u);
    unsetenv("SURGE_COM1");
}

TEST(Rs232PopupTest, OpenOnARealPtyShowsNothingAndCloseShowsNothing) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    setenv("SURGE_COM1", ptsname(master), 1);
    ClearShownPopups();
    Init_com_port();
    EXPECT_EQ(RS232Error, 0);
    Close_com_port();
    EXPECT_EQ(RS232Error, 0);
    EXPECT_TRUE(ShownPopups().empty());
    close(master);
    unsetenv("SURGE_COM1");
}

}  // namespace
