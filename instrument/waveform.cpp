#include "instrument/serial.h"

void Decode_wave(signed char* samples, int count) {
    for (int i = 0; i < count; ++i) {
        // Adding 128 and keeping eight bits turns byte 0x80 into sample 0.
        samples[i] = static_cast<signed char>(static_cast<unsigned char>(samples[i]) + 128);
    }
}
