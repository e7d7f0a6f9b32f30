#include <cstdlib>
#include <cstring>

#include "instrument/serial.h"

namespace {

InstrumentSetup::Field Decode_field(const char* reply, int position) {
    InstrumentSetup::Field field{};
    std::memcpy(field.text, reply + position, 2);
    field.text[2] = '\0';
    field.value = std::atoi(field.text);
    field.real = std::atof(field.text);
    return field;
}

bool Outside(int value, int low, int high) {
    return value > high || value < low;
}

}  // namespace

InstrumentSetup Decode_setup(const char* reply) {
    InstrumentSetup setup{};
    setup.model_no = Decode_field(reply, 0);
    setup.voltage = Decode_field(reply, 2);
    setup.width = Decode_field(reply, 4);
    setup.pulse_no = Decode_field(reply, 6);
    setup.judge = Decode_field(reply, 8);
    setup.kilovolts = setup.voltage.real / 10.0;
    return setup;
}

int Check_range(const char* reply) {
    for (int i = 0; i < SETUP_REPLY_LENGTH; ++i) {
        if (reply[i] == '\0') {
            return 1;
        }
    }
    const InstrumentSetup setup = Decode_setup(reply);
    if (Outside(setup.model_no.value, 0, 60)) {
        return 1;
    }
    if (Outside(setup.voltage.value, 0, 99)) {
        return 1;
    }
    if (Outside(setup.width.value, 0, 7)) {
        return 1;
    }
    if (Outside(setup.pulse_no.value, 0, 20)) {
        return 1;
    }
    return 0;
}
