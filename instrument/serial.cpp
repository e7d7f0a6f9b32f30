#include "instrument/serial.h"

#include <cstdio>

#include "rs232/rs232.h"
#include "toolkit/toolkit.h"

int RS232Error = 0;

void Init_com_port() {
    RS232Error = OpenComConfig(1, "COM1", 115200, 0, 8, 1, 512, 512);
    if (RS232Error != 0) {
        DisplayRS232Error();
    }
    SetCTSMode(1, 0);
    SetComTime(1, PORT_TIMEOUT);
    FlushInQ(1);
    FlushOutQ(1);
}

void Close_com_port() {
    RS232Error = CloseCom(1);
    if (RS232Error != 0) {
        DisplayRS232Error();
    }
}

void Serial_warning() {
    MessagePopup(WARNING_TITLE, "시리얼 통신이 되지 않습니다.\nRS232 콘텍터를 연결하십시요.");
}

void DisplayRS232Error() {
    char ErrorMessage[200];
    switch (RS232Error) {
        case -3:
            std::snprintf(ErrorMessage, sizeof ErrorMessage, "%s",
                          "No port is open.\nCheck COM Port setting in Configure.");
            break;
        case -2:
            std::snprintf(ErrorMessage, sizeof ErrorMessage, "%s",
                          "Invalid port number (must be in the range 1 to 8).");
            break;
        case -99:
            std::snprintf(ErrorMessage, sizeof ErrorMessage, "%s",
                          "Timeout error.\n\nEither increase timeout value,\n       check COM "
                          "Port setting, or\n       check device.");
            break;
        default:
            std::snprintf(ErrorMessage, sizeof ErrorMessage, "RS232 error number %i", RS232Error);
            break;
    }
    MessagePopup("RS232 Message", ErrorMessage);
}
