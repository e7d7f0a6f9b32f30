#include "after_cycle/after_cycle.h"

#include <utility>

namespace after_cycle {

namespace {

std::vector<Step>& Steps() {
    static auto* steps = new std::vector<Step>;
    return *steps;
}

}  // namespace

void Register(std::vector<Step> steps) {
    Steps() = std::move(steps);
}

void Run(const Inspection& inspection) {
    Findings findings;
    for (const Step step : Steps()) {
        step(inspection, &findings);
    }
}

}  // namespace after_cycle
