// The process-control views of the history panel: the chart panel ("관리도": the I-MR charts of
// the filter's master with their signals and capability, and the N.G Pareto) and the shift
// report ("보고서"), each opened on the reader and the filter it is given.
#pragma once

#include "process/chart_uir.h"
#include "toolkit/toolkit.h"

namespace history {
struct Filter;
struct Reader;
}  // namespace history

extern int chartHandle;

// Signals listed on the chart panel, newest first.
constexpr int CHART_SIGNAL_ROWS = 200;

// Hides `panel` and shows the chart panel for the filter's master, read by `reader`; the chart
// panel's quit goes back to `panel`.
void Open_chart_panel(int panel, const history::Reader& reader, const history::Filter& filter);
// Asks whether for the current shift or the filter's period, then for the file, and writes the
// report read by `reader`, its progress shown on the history panel `panel`'s page field.
void Write_report(int panel, const history::Reader& reader, const history::Filter& filter);
int Chart_show(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int Chart_signals(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Chart_quit(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);

// Puts the chart panel back to program start and discards it (for tests).
void ResetChartPanel();
