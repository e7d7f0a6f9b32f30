// Surge waves as the tester records them: the ringing of the winding after the impulse, and
// the comparison of a test wave against the standard wave.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

constexpr int WAVE_BYTES = 300;
using WaveBytes = std::array<std::uint8_t, WAVE_BYTES>;  // each sample offset by 128

// The ringing of a winding, in cycles and nepers per sample.
struct Winding {
    double frequency;
    double damping;
};

// A sound winding, the one the standard wave comes from.
Winding SoundWinding();
// Shorted turns lower the inductance, so the ringing is faster, and the shorted loop takes
// energy out of it, so it dies sooner.
Winding FaultyWinding(int shorted_turns_percent);

// Amplitude in counts for a voltage setting in tenths of a kilovolt.
double AmplitudeForVoltage(int voltage_tenths);

// One recorded wave: flat before the impulse, then a damped cosine, plus noise of up to
// `noise` counts, clipped to the 8-bit range. The impulse comes `delay` samples late (the
// trigger's jitter, a fraction of a sample or more).
WaveBytes RecordWave(const Winding& winding, double amplitude, int noise, std::mt19937& random,
                     double delay = 0.0);

struct Comparison {
    int area;   // sum of |test - standard| as a percentage of the standard's area, capped at 99
    int phase;  // shift of the test wave's fourth zero crossing, in percent of the standard's
                // period, capped at 99
};

// Sample by sample, over the whole record.
Comparison CompareWaves(const WaveBytes& test, const WaveBytes& standard);
// As a tester must compare on a line whose trigger jitters: each wave smoothed by a moving
// average of five samples, the test wave shifted (between samples) so that its first zero
// crossing meets the standard's, and both figures read up to the standard's fourth zero
// crossing (phase: the shift of the fourth crossing from the first). Noise and jitter then stay
// well below the usual judge, and so does a ringing 1 % faster.
Comparison CompareAligned(const WaveBytes& test, const WaveBytes& standard);

// The six characters of a result: area, phase, and "OK" when neither exceeds the judge setting.
std::string ResultText(const Comparison& comparison, int judge);
