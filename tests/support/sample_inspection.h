// Inspections made up for the history's tests and benchmarks, without a tester.
#pragma once

#include <chrono>
#include <cstdio>

#include "values/inspection.h"

// The setup fields the history records.
inline InstrumentSetup SampleSetup(const char* model_no, double kilovolts, int width, int pulse_no,
                                   int judge) {
    InstrumentSetup setup{};
    std::snprintf(setup.model_no.text, sizeof setup.model_no.text, "%s", model_no);
    setup.kilovolts = kilovolts;
    setup.width.value = width;
    setup.pulse_no.value = pulse_no;
    setup.judge.value = judge;
    return setup;
}

// A whole inspection of unit `serial`: both waves (a pattern of `n`), the readings and `outcome`.
inline Inspection SampleInspection(int n, std::chrono::system_clock::time_point started,
                                   const InstrumentSetup& setup, int area, int phase,
                                   Outcome outcome) {
    Inspection inspection;
    inspection.started_at = started;
    inspection.ended_at = started + std::chrono::milliseconds(150);
    inspection.master = "M-01";
    inspection.setup = setup;
    TestResult result{};
    result.area = area;
    result.phase = phase;
    inspection.result = result;
    Wave wave{};
    for (int i = 0; i < WAVE_SAMPLES; ++i) {
        wave[static_cast<std::size_t>(i)] = static_cast<signed char>((i * 7 + n) % 200 - 100);
    }
    inspection.standard_wave = wave;
    inspection.measured_wave = wave;
    inspection.outcome = outcome;
    return inspection;
}
