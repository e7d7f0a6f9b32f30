// The process-control views of the history panel: the chart panel ("관리도": the I-MR charts of
// the filter's master with their signals and capability, and the N.G Pareto) and the shift
// report ("보고서"), both on the filter the history panel holds.
#pragma once

#include "process/chart_uir.h"
#include "toolkit/toolkit.h"

extern int chartHandle;

// Signals listed on the chart panel, newest first.
constexpr int CHART_SIGNAL_ROWS = 200;

// On the history panel: hides it and shows the chart panel for the filter's master.
int History_chart(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
// On the history panel: asks whether for the current shift or the filter's period, then for the
// file, and writes the report.
int History_report(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int Chart_show(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int Chart_signals(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Chart_quit(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);

// Puts the chart panel back to program start and discards it (for tests).
void ResetChartPanel();
