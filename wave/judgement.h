// The station's judgement of one wave against a learned reference, and the EWMA watch for a drift
// or a step of the wire lot.
//
// Codes, in this order, of what is beyond its limit (wave/reference.h): `frequency` and `damping`
// when T^2 of the pair is beyond; of the two, the one with the larger marginal |z| = |x - mean| /
// sd is named, and the other too when its |z| is at least half the larger's; `ear`; `hf`
// (hf_energy; hf_spike is measured, not judged: its tail is too long for a limit of 100 units);
// `envelope`. An unfittable wave trips `frequency,damping`. The operator's texts, joined by ", ":
// "주파수 +1.2 %" and "감쇠 +10 %" (the deviation from the learned mean in % of it; "주파수 측정
// 불가" and "감쇠 측정 불가" for an unfittable wave), "면적 12 %" (the EAR), "고주파", "포락선".
//
// EWMA of frequency and of damping, each on z = (x - mean) / sd: e_k = 0.2 z_k + 0.8 e_(k-1),
// e_0 = 0; it trips when |e_k| > L sqrt(0.2 / 1.8) (its steady-state sigma), L = EWMA_L.
#pragma once

#include <string>

#include "values/wave.h"
#include "wave/features.h"
#include "wave/reference.h"

namespace wave {

constexpr double EWMA_LAMBDA = 0.2;
constexpr double EWMA_L = 3.3;

struct Judgement {
    bool alarm = false;
    std::string rule;              // "frequency,damping"; empty without an alarm
    std::string text;              // the operator's text; empty without an alarm
    double error_area = 0.0;       // EAR against the learned mean, %
    double frequency_shift = 0.0;  // % of the learned mean
    double damping_shift = 0.0;    // % of the learned mean
};

Judgement Judge(const Reference& reference, const Wave& wave, const Features& features);

class Ewma {
  public:
    Ewma() = default;
    explicit Ewma(double value) : value_(value) {}  // carries on from an average kept elsewhere
    // True when this value takes the average beyond its limit.
    bool Add(double z);
    double Value() const { return value_; }

  private:
    double value_ = 0.0;
};

// The EWMA of both features; Add gives the codes that trip ("frequency", "damping", both or none).
class DriftWatch {
  public:
    explicit DriftWatch(const Reference& reference) : reference_(reference) {}
    std::string Add(const Features& features);

  private:
    Reference reference_;
    Ewma frequency_;
    Ewma damping_;
};

}  // namespace wave
