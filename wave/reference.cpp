#include "wave/reference.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "wave/features.h"
#include "wave/quantiles.h"

namespace wave {
namespace {

constexpr double MAD_TO_Z = 0.6745;   // the MAD of a normal law is 0.6745 sigma
constexpr double SPREAD_FLOOR = 0.5;  // counts
constexpr double SD_FLOOR = 1e-9;
constexpr double LOG_FLOOR = 1e-6;

double Median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1) {
        return *middle;
    }
    return 0.5 * (*middle + *std::max_element(values.begin(), middle));
}

// Marks the units whose robust z of `values` is beyond the bound.
void MarkOutliers(const std::vector<double>& values, std::vector<bool>& outlier) {
    const double median = Median(values);
    std::vector<double> deviations;
    for (const double value : values) {
        deviations.push_back(std::abs(value - median));
    }
    const double mad = Median(deviations);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double deviation = std::abs(values[i] - median);
        if (mad > 0.0 ? MAD_TO_Z * deviation / mad > OUTLIER_Z : deviation > 0.0) {
            outlier[i] = true;
        }
    }
}

std::array<double, WAVE_SAMPLES> MedianWave(std::span<const Wave> units) {
    std::array<double, WAVE_SAMPLES> median{};
    std::vector<double> column(units.size());
    for (int i = 0; i < WAVE_SAMPLES; ++i) {
        std::transform(units.begin(), units.end(), column.begin(),
                       [i](const Wave& wave) { return static_cast<double>(wave[i]); });
        median[i] = Median(column);
    }
    return median;
}

std::vector<bool> Outliers(std::span<const Wave> units, const std::vector<Features>& features) {
    const std::array<double, WAVE_SAMPLES> median = MedianWave(units);
    std::vector<bool> outlier(units.size(), false);
    std::vector<double> values(units.size());
    for (const auto member :
         {&Features::frequency, &Features::damping, &Features::hf_energy, &Features::hf_spike}) {
        std::transform(features.begin(), features.end(), values.begin(),
                       [member](const Features& f) { return f.*member; });
        MarkOutliers(values, outlier);
    }
    std::transform(units.begin(), units.end(), values.begin(),
                   [&](const Wave& wave) { return ErrorAreaRatio(wave, median); });
    MarkOutliers(values, outlier);
    for (std::size_t i = 0; i < units.size(); ++i) {
        outlier[i] = outlier[i] || !features[i].fittable;
    }
    return outlier;
}

Spread SpreadOf(const std::vector<double>& values) {
    double sum = 0.0;
    for (const double value : values) {
        sum += value;
    }
    const double mean = sum / static_cast<double>(values.size());
    double squares = 0.0;
    for (const double value : values) {
        squares += (value - mean) * (value - mean);
    }
    const double sd = std::sqrt(squares / static_cast<double>(values.size() - 1));
    return {mean, std::max(sd, SD_FLOOR)};
}

void LearnEnvelope(const std::vector<Wave>& kept, Reference& reference) {
    std::vector<double> column(kept.size());
    for (int i = 0; i < WAVE_SAMPLES; ++i) {
        std::transform(kept.begin(), kept.end(), column.begin(),
                       [i](const Wave& wave) { return static_cast<double>(wave[i]); });
        const Spread sample = SpreadOf(column);
        reference.mean[i] = sample.mean;
        reference.spread[i] = std::max(sample.sd, SPREAD_FLOOR);
    }
}

// The spread of the logarithms of `values` (positive, skewed to the right).
Spread LogSpread(Spread, std::vector<double>& values) {
    for (double& value : values) {
        value = std::log(std::max(value, LOG_FLOOR));
    }
    return SpreadOf(values);
}

void LearnFeatures(const std::vector<Wave>& kept, const std::vector<Features>& features,
                   Reference& reference) {
    std::vector<double> values(kept.size());
    const auto spread = [&](double Features::*member) {
        std::transform(features.begin(), features.end(), values.begin(),
                       [member](const Features& f) { return f.*member; });
        return SpreadOf(values);
    };
    reference.frequency = spread(&Features::frequency);
    reference.damping = spread(&Features::damping);
    reference.hf_energy = LogSpread(spread(&Features::hf_energy), values);
    double products = 0.0;
    for (const Features& f : features) {
        products += (f.frequency - reference.frequency.mean) * (f.damping - reference.damping.mean);
    }
    reference.covariance = products / static_cast<double>(kept.size() - 1);
    std::transform(kept.begin(), kept.end(), values.begin(),
                   [&](const Wave& wave) { return ErrorAreaRatio(wave, reference.mean); });
    reference.ear = LogSpread(SpreadOf(values), values);
}

Limits PredictionLimits(const Reference& reference) {
    const double n = reference.units;
    const double inflation = std::sqrt(1.0 + 1.0 / n);
    const auto upper = [&](const Spread& log, double alpha) {
        return std::exp(log.mean + StudentQuantile(1.0 - alpha, n - 1.0) * log.sd * inflation);
    };
    Limits limits;
    limits.pair = 2.0 * (n + 1.0) * (n - 1.0) / (n * (n - 2.0)) *
                  FisherQuantile(1.0 - ALPHA_PAIR, 2.0, n - 2.0);
    limits.ear = upper(reference.ear, ALPHA_EAR);
    limits.hf_energy = upper(reference.hf_energy, ALPHA_HF);
    limits.envelope =
        StudentQuantile(1.0 - ALPHA_ENVELOPE / (2.0 * WAVE_SAMPLES), n - 1.0) * inflation;
    return limits;
}

}  // namespace

std::optional<Reference> Learn(std::span<const Wave> units) {
    if (units.size() < MIN_LEARN_UNITS || units.size() > MAX_LEARN_UNITS) {
        return std::nullopt;
    }
    std::vector<Features> features;
    for (const Wave& wave : units) {
        features.push_back(Measure(wave));
    }
    const std::vector<bool> outlier = Outliers(units, features);
    std::vector<Wave> kept;
    std::vector<Features> kept_features;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (!outlier[i]) {
            kept.push_back(units[i]);
            kept_features.push_back(features[i]);
        }
    }
    if (kept.size() < MIN_LEARN_UNITS) {
        return std::nullopt;
    }
    Reference reference;
    reference.units = static_cast<int>(kept.size());
    reference.dropped = static_cast<int>(units.size() - kept.size());
    LearnEnvelope(kept, reference);
    LearnFeatures(kept, kept_features, reference);
    reference.limits = PredictionLimits(reference);
    return reference;
}

}  // namespace wave
