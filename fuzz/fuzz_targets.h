// The fuzz targets, each a function of one input that returns 0. In the fuzzer build
// (SURGE_LIBFUZZER) SURGE_FUZZ_ENTRY makes one of them the executable's LLVMFuzzerTestOneInput;
// the corpus replay test calls them all directly.
#pragma once

#include <cstddef>
#include <cstdint>

// The setup reply ("ME\r") through Decode_setup and Check_range.
int FuzzSetupReply(const std::uint8_t* data, std::size_t size);
// The result reply ("RE\r") through Decode_result.
int FuzzResultReply(const std::uint8_t* data, std::size_t size);
// A waveform reply through Decode_wave.
int FuzzWaveform(const std::uint8_t* data, std::size_t size);
// The master store over a "model_name.dat" and "model_wave.dat" pair taken from the input.
// Needs the toolkit's engine with scripted popups (FuzzStoreSetup brings them up when they
// are not) and works in a scratch folder of its own, the current directory while it runs.
int FuzzStore(const std::uint8_t* data, std::size_t size);
void FuzzStoreSetup();

// A broken promise of the code under test. The handler reports `what` and does not return:
// by default it prints it and aborts (libFuzzer keeps the input as a crash); the replay test
// installs one that throws.
extern void (*fuzz_failure_handler)(const char* what);
[[noreturn]] void FuzzFail(const char* what);

inline void FuzzRequire(bool holds, const char* what) {
    if (!holds) {
        FuzzFail(what);
    }
}

#ifdef SURGE_LIBFUZZER
#define SURGE_FUZZ_ENTRY(target)                                                        \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
        return target(data, size);                                                      \
    }
#else
#define SURGE_FUZZ_ENTRY(target)
#endif
