// A wave: the 300 signed samples of one waveform, as the tester's reply decodes to, the master
// store keeps, the graphs plot and the history records.
#pragma once

#include <array>

constexpr int WAVE_SAMPLES = 300;

using Wave = std::array<signed char, WAVE_SAMPLES>;
