#include "wave/judgement.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace wave {
namespace {

struct Trip {
    const char* code;
    std::string text;
};

std::string Formatted(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void AddPair(const Reference& reference, const Features& features, std::vector<Trip>& trips,
             const Judgement& judgement) {
    const std::string frequency_text = Formatted("주파수 %+.1f %%", judgement.frequency_shift);
    const std::string damping_text = Formatted("감쇠 %+.0f %%", judgement.damping_shift);
    if (!features.fittable) {
        trips.push_back({"frequency", "주파수 측정 불가"});
        trips.push_back({"damping", "감쇠 측정 불가"});
        return;
    }
    const double df = features.frequency - reference.frequency.mean;
    const double dd = features.damping - reference.damping.mean;
    const double vf = reference.frequency.sd * reference.frequency.sd;
    const double vd = reference.damping.sd * reference.damping.sd;
    const double c = reference.covariance;
    const double determinant = vf * vd - c * c;
    const double t2 = (df * df * vd - 2.0 * df * dd * c + dd * dd * vf) / determinant;
    if (!(t2 > reference.limits.pair)) {
        return;
    }
    const double zf = std::abs(df) / reference.frequency.sd;
    const double zd = std::abs(dd) / reference.damping.sd;
    if (2.0 * zf >= zd) {
        trips.push_back({"frequency", frequency_text});
    }
    if (2.0 * zd >= zf) {
        trips.push_back({"damping", damping_text});
    }
}

bool OutsideEnvelope(const Reference& reference, const Wave& wave) {
    for (int i = 0; i < WAVE_SAMPLES; ++i) {
        if (std::abs(wave[i] - reference.mean[i]) > EnvelopeLimit(reference, i)) {
            return true;
        }
    }
    return false;
}

double ShiftPercent(double value, const Spread& learned) {
    return learned.mean != 0.0 ? 100.0 * (value - learned.mean) / learned.mean : 0.0;
}

}  // namespace

Judgement Judge(const Reference& reference, const Wave& wave, const Features& features) {
    Judgement judgement;
    judgement.error_area = ErrorAreaRatio(wave, reference.mean);
    if (features.fittable) {
        judgement.frequency_shift = ShiftPercent(features.frequency, reference.frequency);
        judgement.damping_shift = ShiftPercent(features.damping, reference.damping);
    }
    std::vector<Trip> trips;
    AddPair(reference, features, trips, judgement);
    if (judgement.error_area > reference.limits.ear) {
        trips.push_back({"ear", Formatted("면적 %.0f %%", judgement.error_area)});
    }
    if (features.hf_energy > reference.limits.hf_energy) {
        trips.push_back({"hf", "고주파"});
    }
    if (OutsideEnvelope(reference, wave)) {
        trips.push_back({"envelope", "포락선"});
    }
    for (const Trip& trip : trips) {
        judgement.rule += (judgement.rule.empty() ? "" : ",") + std::string(trip.code);
        judgement.text += (judgement.text.empty() ? "" : ", ") + trip.text;
    }
    judgement.alarm = !trips.empty();
    return judgement;
}

bool Ewma::Add(double z) {
    value_ = EWMA_LAMBDA * z + (1.0 - EWMA_LAMBDA) * value_;
    return std::abs(value_) > EWMA_L * std::sqrt(EWMA_LAMBDA / (2.0 - EWMA_LAMBDA));
}

std::string DriftWatch::Add(const Features& features) {
    if (!features.fittable) {
        return "";
    }
    const bool frequency =
        frequency_.Add((features.frequency - reference_.frequency.mean) / reference_.frequency.sd);
    const bool damping =
        damping_.Add((features.damping - reference_.damping.mean) / reference_.damping.sd);
    if (frequency && damping) {
        return "frequency,damping";
    }
    return frequency ? "frequency" : (damping ? "damping" : "");
}

}  // namespace wave
