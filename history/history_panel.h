// The history panel: the recorded inspections of a filter, its counts and yield, a trend of the
// readings, and the waves of a chosen record; opened from the main panel and left back to it.
#pragma once

#include "history/history_uir.h"
#include "toolkit/toolkit.h"

extern int historyHandle;
extern int auditHandle;  // the audit rows' panel, 0 before its first opening

namespace history {
struct Filter;
struct Reader;
}  // namespace history

// Records shown a page at a time, and the points of the trend.
constexpr int HISTORY_PAGE_ROWS = 10;
constexpr int HISTORY_TREND_POINTS = 200;

// On the main panel: hides it and shows the history panel (loaded at its first opening) on the
// week that ends today.
int History_open(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int History_search(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int History_newer(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int History_older(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int History_table(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int History_export(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int History_export_waves(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
// Lists the filter's units passed on retest in a message, newest first (at most 30).
int History_retested(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int History_quit(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);

// The audit rows of the station's file, newest first (engineers and administrators; the button
// is dimmed for the others): history/audit_view.cpp.
int History_audit(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Audit_quit(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
// Hides the history panel and the audit rows' where they are shown (the login ends).
void Hide_history_panels();
// Waits for the units the panel is still counting on their own thread (the station stops).
void Stop_history_panel();
void Hide_audit_panel();
void ResetAuditPanel();
// The panel's reader and the filter the panel's fields hold, applied to the panel first when they
// were changed since the last search; false (and the operator told) when it is no filter.
bool CurrentHistoryFilter(history::Reader* reader, history::Filter* current);

// Puts the panel's state back to program start and discards the panel (for tests).
void ResetHistoryPanel();
