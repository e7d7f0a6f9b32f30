// The station's own judgement of a measured wave, beside the tester's verdict and never instead of
// it: the wave's features and, once the master's version has a reference learned from good units,
// whether the wave is outside that reference's limits. The record keeps it; what is not known stays
// empty (a wave that could not be fitted has no frequency or damping; before a reference is learned
// there is no error area against it and no alarm).
#pragma once

#include <optional>
#include <string>

struct WaveOpinion {
    std::optional<double> ringing_frequency;    // cycles per 100 samples
    std::optional<double> damping;              // nepers per 100 samples
    std::optional<double> error_area;           // % against the learned mean wave
    std::optional<double> standard_error_area;  // % against the tester's standard wave
    std::optional<double> hf_energy;            // % of the wave's energy left after the fit
    std::optional<bool> wave_alarm;
    // What tripped, as codes in this order, comma-separated: frequency, damping, ear, hf, envelope.
    std::string wave_rule;
    // The operator's text of what tripped ("주파수 +1.2 %, 고주파"); empty without an alarm.
    std::string text = {};
};
