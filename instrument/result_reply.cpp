#include <cstdlib>
#include <cstring>

#include "instrument/serial.h"

TestResult Decode_result(const char* reply) {
    TestResult result{};
    std::memcpy(result.area_text, reply, 2);
    result.area_text[2] = '\0';
    result.area = std::atoi(result.area_text);
    std::memcpy(result.phase_text, reply + 2, 2);
    result.phase_text[2] = '\0';
    result.phase = std::atoi(result.phase_text);
    result.pass = reply[4] == 'O' && reply[5] == 'K';
    return result;
}
