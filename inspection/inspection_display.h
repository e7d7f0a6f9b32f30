// The main panel during a cycle: each reading of the inspection shown once, and written to the
// program-wide variables that the export and the registration panel read.
#pragma once

#include "values/inspection.h"

// The testing state: the commands dimmed but the stop, the busy lamp shown, the verdict lamps
// hidden.
void Show_testing();
// The ready state that the stop command gives back.
void Show_ready();
// A start the gates refused: the busy lamp off, nothing sent to the tester.
void Show_refused();
// The setup's fields; from here the variables hold this unit, which has no verdict yet.
void Show_setup(const InstrumentSetup& setup);
void Show_measured_wave(const Wave& measured);
void Show_standard_wave(const Wave& standard);
// Area, phase and the verdict's lamp, and `result`.
void Show_verdict(const TestResult& test, Outcome outcome);
