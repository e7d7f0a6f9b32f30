// Fuzz target: a waveform reply, of any length up to the 300 samples, decoded in place.
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_targets.h"
#include "instrument/serial.h"

int FuzzWaveform(const std::uint8_t* data, std::size_t size) {
    const std::size_t count = std::min<std::size_t>(size, WAVE_LENGTH);
    // Exactly the bytes received, on the heap, so that a write beyond them is caught.
    const auto samples = std::make_unique<signed char[]>(count);
    std::memcpy(samples.get(), data, count);

    Decode_wave(samples.get(), static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i) {
        FuzzRequire(samples[i] == static_cast<int>(data[i]) - 128, "a sample is its byte less 128");
    }
    Decode_wave(samples.get(), static_cast<int>(count));
    FuzzRequire(std::memcmp(samples.get(), data, count) == 0,
                "decoding twice gives back the bytes received");
    return 0;
}

SURGE_FUZZ_ENTRY(FuzzWaveform)
