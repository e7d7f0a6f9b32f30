#include "wave_check/wave_check.h"

#include <map>
#include <optional>
#include <string>

#include "history/wave_reads.h"
#include "settings/settings_in_force.h"
#include "toolkit/toolkit.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"
#include "wave/features.h"
#include "wave/judgement.h"
#include "wave/reference.h"
#include "wave_check/learned.h"

namespace wave_check {

namespace {

// A master version's reference; `failed_at` the passed units when learning from them failed, so
// that it is not tried again on the same units.
struct Learned {
    std::optional<wave::Reference> reference;
    int failed_at = 0;
};

struct State {
    Display display;
    std::map<std::string, Learned> versions;
    std::string shown_version;  // of the unit whose waves the main graph shows
};

State& TheState() {
    static State state;
    return state;
}

// The version's reference, learned anew from the same units the file says it was learned from:
// the records an engineer named, else its first passed units.
Learned& LearnedOf(const std::string& version) {
    auto [place, fresh] = TheState().versions.try_emplace(version);
    if (fresh) {
        const std::vector<Wave> named = history::NamedWaves(version);
        if (!named.empty()) {
            place->second.reference = wave::Learn(named);
        } else if (const int units = history::LearnedUnits(version); units > 0) {
            place->second.reference = wave::Learn(history::LearningWaves(version, units));
        }
    }
    return place->second;
}

void Show(const std::string& text) {
    const Display& display = TheState().display;
    if (display.panel > 0) {
        SetCtrlVal(display.panel, display.alarm, text.c_str());
        SetCtrlAttribute(display.panel, display.alarm, ATTR_VISIBLE, text.empty() ? 0 : 1);
    }
}

}  // namespace

void UseReference(const std::string& version, const wave::Reference& reference) {
    TheState().versions[version] = Learned{reference, 0};
}

std::string LearnedText(const std::string& version, const wave::Reference& reference) {
    const int kept = reference.units;
    const int dropped = reference.dropped;
    return "버전 " + version.substr(0, 12) + ": " + std::to_string(kept + dropped) + "대 중 " +
           std::to_string(kept) + "대 (제외 " + std::to_string(dropped) + "대)";
}

void Start(const Display& display) {
    TheState() = State{display, {}, {}};
    Show("");
}

void Judge(const Inspection& inspection, WaveOpinion* opinion) {
    *opinion = {};
    TheState().shown_version = inspection.master_version;
    if (!inspection.measured_wave || inspection.outcome == Outcome::INCOMPLETE) {
        Show("");
        return;
    }
    const Wave& measured = *inspection.measured_wave;
    const wave::Features features = wave::Measure(measured);
    if (features.fittable) {
        opinion->ringing_frequency = features.frequency;
        opinion->damping = features.damping;
        opinion->hf_energy = features.hf_energy;
    }
    if (inspection.standard_wave) {
        opinion->standard_error_area = wave::ErrorAreaRatio(measured, *inspection.standard_wave);
    }
    const Learned* learned =
        inspection.master_version.empty() ? nullptr : &LearnedOf(inspection.master_version);
    if (learned == nullptr || !learned->reference) {
        Show("");
        return;
    }
    const wave::Judgement judgement = wave::Judge(*learned->reference, measured, features);
    opinion->error_area = judgement.error_area;
    opinion->wave_alarm = judgement.alarm;
    opinion->wave_rule = judgement.rule;
    opinion->text = judgement.text;
    Show(judgement.alarm ? "파형 " + judgement.text : std::string());
}

void Learn(const Inspection& inspection) {
    const std::string& version = inspection.master_version;
    if (inspection.outcome != Outcome::OK || inspection.reference || version.empty()) {
        return;
    }
    Learned& learned = LearnedOf(version);
    const int wanted = settings::Settings().wave.learn_units;
    if (learned.reference || learned.failed_at == wanted ||
        history::PassedUnits(version, wanted) < wanted) {
        return;
    }
    learned.reference = wave::Learn(history::LearningWaves(version, wanted));
    if (!learned.reference) {
        learned.failed_at = wanted;
        return;
    }
    const int dropped = learned.reference->dropped;
    history::KeepLearned(version, inspection.master, learned.reference->units + dropped, dropped);
    trail::Audit(trail::AUDIT_WAVE_LEARNED, inspection.master, "",
                 LearnedText(version, *learned.reference));
}

bool ShownBand(Band* lower, Band* upper) {
    const std::string& version = TheState().shown_version;
    const Learned* learned = version.empty() ? nullptr : &LearnedOf(version);
    if (learned == nullptr || !learned->reference) {
        return false;
    }
    for (int i = 0; i < WAVE_SAMPLES; ++i) {
        const double limit = wave::EnvelopeLimit(*learned->reference, i);
        (*lower)[i] = learned->reference->mean[i] - limit;
        (*upper)[i] = learned->reference->mean[i] + limit;
    }
    return true;
}

}  // namespace wave_check
