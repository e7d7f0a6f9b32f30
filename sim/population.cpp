#include "sim/population.h"

#include <algorithm>
#include <string>

namespace {

constexpr int ARCING_FROM = 20;  // bursts fall on the ringing, after the first half cycle
constexpr int BURST_SAMPLES = 3;

}  // namespace

Population::Population(unsigned seed, const PopulationSpread& spread)
    : spread_(spread), random_(seed) {
    standard_ = RecordWave(SoundWinding(), spread_.amplitude, spread_.noise, random_);
}

Winding Population::GoodUnit() {
    std::normal_distribution<double> unit(0.0, 1.0);
    const Winding sound = SoundWinding();
    const double frequency = sound.frequency * (1.0 + spread_.frequency * unit(random_));
    const double damping = sound.damping * (1.0 + spread_.damping * unit(random_));
    return {frequency, damping};
}

WaveBytes Population::Record(const Winding& winding, bool arcing) {
    std::uniform_real_distribution<double> jitter(-spread_.jitter, spread_.jitter);
    const double delay = jitter(random_);
    WaveBytes wave = RecordWave(winding, spread_.amplitude, spread_.noise, random_, delay);
    if (arcing) {
        AddArcing(wave);
    }
    return wave;
}

// Bursts of a few samples, each of 20 to 50 counts with alternating sign.
void Population::AddArcing(WaveBytes& wave) {
    std::uniform_int_distribution<int> bursts(1, 3);
    std::uniform_int_distribution<int> at(ARCING_FROM, WAVE_BYTES - BURST_SAMPLES);
    std::uniform_int_distribution<int> height(20, 50);
    for (int burst = bursts(random_); burst > 0; --burst) {
        const int start = at(random_);
        for (int i = 0; i < BURST_SAMPLES; ++i) {
            const int spike = (i % 2 == 0 ? 1 : -1) * height(random_);
            wave[start + i] =
                static_cast<std::uint8_t>(std::clamp(wave[start + i] + spike, 0, 255));
        }
    }
}

bool Population::TesterPasses(const WaveBytes& wave, int judge) const {
    return ResultText(CompareAligned(wave, standard_), judge).ends_with("OK");
}

Winding Faster(Winding winding, double relative) {
    winding.frequency *= 1.0 + relative;
    return winding;
}

Winding MoreDamped(Winding winding, double relative) {
    winding.damping *= 1.0 + relative;
    return winding;
}

Winding Drifted(Winding winding, int units, double per_unit) {
    winding.frequency *= 1.0 + per_unit * units;
    return winding;
}

Wave ToWave(const WaveBytes& bytes) {
    Wave wave{};
    std::transform(bytes.begin(), bytes.end(), wave.begin(),
                   [](std::uint8_t b) { return static_cast<signed char>(b - 128); });
    return wave;
}
