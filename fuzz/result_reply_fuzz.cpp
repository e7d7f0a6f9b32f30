// Fuzz target: the result reply. At most six bytes land in the reply; positions no byte
// reached hold zero.
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_targets.h"
#include "instrument/serial.h"

int FuzzResultReply(const std::uint8_t* data, std::size_t size) {
    // Exactly the reply's six positions, on the heap, so that a read beyond them is caught.
    const auto reply = std::make_unique<char[]>(RESULT_REPLY_LENGTH);
    std::memcpy(reply.get(), data, std::min<std::size_t>(size, RESULT_REPLY_LENGTH));

    const TestResult result = Decode_result(reply.get());
    FuzzRequire(std::memcmp(result.area_text, reply.get(), 2) == 0 && result.area_text[2] == '\0',
                "the area text is its two characters and a NUL");
    FuzzRequire(
        std::memcmp(result.phase_text, reply.get() + 2, 2) == 0 && result.phase_text[2] == '\0',
        "the phase text is its two characters and a NUL");
    FuzzRequire(result.area >= -9 && result.area <= 99, "the area fits two characters");
    FuzzRequire(result.phase >= -9 && result.phase <= 99, "the phase fits two characters");
    FuzzRequire(result.pass == (reply[4] == 'O' && reply[5] == 'K'),
                "a pass is exactly 'O' then 'K'");
    return 0;
}

SURGE_FUZZ_ENTRY(FuzzResultReply)
