#include <cstdio>

#include "instrument/serial.h"
#include "rs232/rs232.h"
#include "toolkit/toolkit.h"

int Exchange(char* work, const char* command, char* target, int replyLength) {
    std::snprintf(work, WORK_BUFFER_SIZE, "%s", command);
    // A late or stray byte left in the queue would become the first byte of this reply.
    FlushInQ(1);
    ComWrt(1, work, StringLength(work));
    if (replyLength <= 0) {
        return 0;
    }
    const int arrived = ComRd(1, target, replyLength);
    return arrived > 0 ? arrived : 0;
}

bool Exchange_whole(char* work, const char* command, char* target, int replyLength) {
    if (Exchange(work, command, target, replyLength) != replyLength) {
        return false;
    }
    char after = 0;
    SetComTime(1, REPLY_END_QUIET);
    const int more = ComRd(1, &after, 1);
    SetComTime(1, PORT_TIMEOUT);
    // A line that drops after the last byte still delivered the reply whole.
    return more <= 0;
}
