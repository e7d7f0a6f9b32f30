// Fuzz target: the setup reply as the inspection takes it. The input is what arrived on the
// line; at most ten bytes land in the reply, and positions no byte reached keep the zero that
// the caller put there before the read.
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_targets.h"
#include "instrument/serial.h"

int FuzzSetupReply(const std::uint8_t* data, std::size_t size) {
    // Exactly the reply's ten positions, on the heap, so that a read beyond them is caught.
    const auto reply = std::make_unique<char[]>(SETUP_REPLY_LENGTH);
    std::memcpy(reply.get(), data, std::min<std::size_t>(size, SETUP_REPLY_LENGTH));

    const int verdict = Check_range(reply.get());
    FuzzRequire(verdict == 0 || verdict == 1, "Check_range returns 0 or 1");
    if (std::memchr(reply.get(), '\0', SETUP_REPLY_LENGTH) != nullptr) {
        FuzzRequire(verdict == 1, "a short reply, or one holding a NUL, is rejected");
    }

    const InstrumentSetup setup = Decode_setup(reply.get());
    const InstrumentSetup::Field* fields[] = {&setup.model_no, &setup.voltage, &setup.width,
                                              &setup.pulse_no, &setup.judge};
    for (int i = 0; i < 5; ++i) {
        const InstrumentSetup::Field& field = *fields[i];
        FuzzRequire(std::memcmp(field.text, reply.get() + 2 * i, 2) == 0 && field.text[2] == '\0',
                    "a field's text is its two characters and a NUL");
        // Two characters hold at most "99" and at least "-9", whatever atoi and atof make of them.
        FuzzRequire(field.value >= -9 && field.value <= 99, "a field's value fits two characters");
        FuzzRequire(field.real >= -9.0 && field.real <= 99.0, "a field's real fits two characters");
    }
    if (verdict == 0) {
        // What the inspection and the registration panel then use stays in the tester's ranges:
        // the voltage it shows comes from atof although the check used atoi.
        FuzzRequire(setup.model_no.value >= 0 && setup.model_no.value <= 60, "model_no accepted");
        FuzzRequire(setup.voltage.real >= 0.0 && setup.voltage.real <= 99.0, "voltage accepted");
        FuzzRequire(setup.width.value >= 0 && setup.width.value <= 7, "width accepted");
        FuzzRequire(setup.pulse_no.value >= 0 && setup.pulse_no.value <= 20, "pulse_no accepted");
    }
    return 0;
}

SURGE_FUZZ_ENTRY(FuzzSetupReply)
