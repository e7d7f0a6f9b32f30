#include <cstdio>
#include <cstring>

#include "instrument/serial.h"
#include "rs232/rs232.h"
#include "toolkit/toolkit.h"

bool Send_command(char* work, const char* command) {
    std::snprintf(work, WORK_BUFFER_SIZE, "%s", command);
    // A late or stray byte left in the queue would become the first byte of the reply.
    FlushInQ(1);
    const int length = StringLength(work);
    return ComWrt(1, work, length) == length;
}

int Read_reply(char* target, int replyLength) {
    const int arrived = ComRd(1, target, replyLength);
    return arrived > 0 ? arrived : 0;
}

bool Read_whole(char* target, int replyLength) {
    if (Read_reply(target, replyLength) != replyLength) {
        return false;
    }
    char after = 0;
    SetComTime(1, REPLY_END_QUIET);
    const int more = ComRd(1, &after, 1);
    SetComTime(1, PORT_TIMEOUT);
    // A line that drops after the last byte still delivered the reply whole.
    return more <= 0;
}

bool Read_wave(Wave* wave) {
    char reply[WAVE_LENGTH] = {0};
    if (!Read_whole(reply, WAVE_LENGTH)) {
        return false;
    }
    std::memcpy(wave->data(), reply, WAVE_SAMPLES);
    Decode_wave(wave->data(), WAVE_SAMPLES);
    return true;
}

int Exchange(char* work, const char* command, char* target, int replyLength) {
    Send_command(work, command);
    return replyLength > 0 ? Read_reply(target, replyLength) : 0;
}

bool Exchange_whole(char* work, const char* command, char* target, int replyLength) {
    Send_command(work, command);
    return Read_whole(target, replyLength);
}

std::string Command_code(const char* command) {
    std::string code = command;
    if (!code.empty() && code.back() == '\r') {
        code.pop_back();
    }
    return code;
}
