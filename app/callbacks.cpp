// The callback names that "surge.uir" binds its controls to.
#include "access/login.h"
#include "app/surge.h"
#include "export/export.h"
#include "history/history_panel.h"
#include "history/history_query.h"
#include "inspection/inspection.h"
#include "inspection/reference_band.h"
#include "master/master.h"
#include "process/process_panel.h"
#include "toolkit/toolkit.h"
#include "wave_check/wave_check.h"

namespace {

// The history panel's "관리도", "보고서" and "기준 학습", each on the panel's reader and the filter
// its fields hold (applied to the panel first when they were changed).
int OnHistoryFilter(int panel, int event,
                    void (*open)(int, const history::Reader&, const history::Filter&)) {
    history::Reader reader;
    history::Filter filter;
    if (event == EVENT_COMMIT && CurrentHistoryFilter(&reader, &filter)) {
        open(panel, reader, filter);
    }
    return 0;
}

int History_chart(int panel, int, int event, void*, int, int) {
    return OnHistoryFilter(panel, event, Open_chart_panel);
}

int History_report(int panel, int, int event, void*, int, int) {
    return OnHistoryFilter(panel, event, Write_report);
}

// "기준 학습": the wave reference of the filter's master learned from the records it lists, its
// band shown at once where the main graph shows a unit of that version.
void Learn_named(int, const history::Reader&, const history::Filter& filter) {
    wave_check::LearnNamed(filter);
    Show_reference_band();
}

int History_learn(int panel, int, int event, void*, int, int) {
    return OnHistoryFilter(panel, event, Learn_named);
}

}  // namespace

void Register_callbacks() {
    RegisterCallback("Main_start", Main_start);
    RegisterCallback("Main_stop", Main_stop);
    RegisterCallback("Main_serial", Main_serial);
    RegisterCallback("Main_band", Main_band);
    RegisterCallback("Master_setup", Master_setup);
    RegisterCallback("Excel", Excel);
    RegisterCallback("Quit", Quit);

    RegisterCallback("Master_upload", Master_upload);
    RegisterCallback("Master_download", Master_download);
    RegisterCallback("Master_save", Master_save);
    RegisterCallback("Master_list", Master_list);
    RegisterCallback("Master_quit", Master_quit);
    RegisterCallback("Model", Model);
    RegisterCallback("Corona", Corona);
    RegisterCallback("Delay_time", Delay_time);
    RegisterCallback("Excel_path_select", Excel_path_select);

    RegisterCallback("Master_select", Master_select);
    RegisterCallback("Master_delete", Master_delete);
    RegisterCallback("Master_cancel", Master_cancel);
    RegisterCallback("TableCB", TableCB);

    RegisterCallback("History_open", History_open);
    RegisterCallback("History_search", History_search);
    RegisterCallback("History_newer", History_newer);
    RegisterCallback("History_older", History_older);
    RegisterCallback("History_table", History_table);
    RegisterCallback("History_export", History_export);
    RegisterCallback("History_export_waves", History_export_waves);
    RegisterCallback("History_retested", History_retested);
    RegisterCallback("History_quit", History_quit);
    RegisterCallback("History_audit", History_audit);
    RegisterCallback("Audit_quit", Audit_quit);

    RegisterCallback("Login_ok", access_control::Login_ok);
    RegisterCallback("Logout", access_control::Logout);

    RegisterCallback("History_chart", History_chart);
    RegisterCallback("History_report", History_report);
    RegisterCallback("History_learn", History_learn);

    RegisterCallback("Chart_show", Chart_show);
    RegisterCallback("Chart_signals", Chart_signals);
    RegisterCallback("Chart_quit", Chart_quit);
}
