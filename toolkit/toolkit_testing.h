// Seams for tests and tools: answer the popups and the file dialog, read what they showed,
// replace the launcher, fix the monitor and the date, and drive or inspect the panels the way
// an operator would. The station itself never calls these: they are built into
// surge_toolkit_testing (toolkit/testing/), which the tests and tools link and the station does
// not.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit/launch_platform.h"
#include "toolkit/popup_script.h"
#include "toolkit/toolkit.h"

class QWidget;

namespace toolkit_testing {

using toolkit_internal::PopupKind;
using toolkit_internal::ShownPopup;

// While scripted, popups are not shown: a message is acknowledged, a confirmation takes the next
// queued answer (0 when none is queued), the file dialog the next queued path ("" cancels) and a
// prompt the next queued text ("" or none cancels).
void ScriptPopups(bool scripted);
void QueueConfirmAnswer(int answer);
void QueueFileAnswer(const std::string& path);
void QueuePromptAnswer(const std::string& text);
// The password popup takes the next queued answer; none queued cancels it.
void QueuePasswordAnswer(const std::string& password);
const std::vector<ShownPopup>& ShownPopups();
void ClearShownPopups();
int PendingAnswers();

// Replaces the launcher; the function gets the program (empty for "the default program") and
// its one argument, and returns what LaunchProgram returns.
using toolkit_platform::Launcher;
void SetLauncher(Launcher launcher);  // an empty function restores the real launcher

void SetMonitorGeometry(int height, int width);    // 0, 0 restores the real monitor
void SetSystemDate(int year, int month, int day);  // 0, 0, 0 restores the real date

// Every Delay asked for, in seconds, since the last clear.
const std::vector<double>& RequestedDelays();
void ClearRequestedDelays();

// The operator's actions, through the same path as a real click: a pending edit of a field on
// the panel is committed first, then the control's callback runs with EVENT_COMMIT.
void Commit(int panel, int control);
// Types `text` into a text field without committing it (as the operator does before pressing
// a command).
void TypeText(int panel, int control, const std::string& text);
// Keys typed into a text field while the next callback that holds the thread runs: the toolkit
// delivers them as Qt's held input, once that callback has returned. "\r" is Enter.
void TypeWhileHeld(int panel, int control, const std::string& keys);
// Clicks a table cell: the cell becomes active, then the table's callback gets EVENT_LEFT_CLICK.
void ClickTableCell(int panel, int control, Point cell);
// Gives the idle callback now, as if the idle time had passed (nothing when none is set).
void ExpireIdleTime();
// Runs the deferred calls that are due, as the event loop would.
void RunDeferredCalls();

QWidget* PanelWidget(int panel);
QWidget* ControlWidget(int panel, int control);
bool PanelIsVisible(int panel);
int TopOf(int panel);
int LeftOf(int panel);
int HeightOf(int panel);
int WidthOf(int panel);

struct PlotInfo {
    int id;
    int colour;
    std::vector<double> x;
    std::vector<double> y;
};
std::vector<PlotInfo> GraphPlots(int panel, int control);

int TableRowCount(int panel, int control);
std::string TableCellText(int panel, int control, Point cell);

// What the panel resource declares, for the check that code and resource agree.
struct ControlInfo {
    int id;
    std::string
        kind;  // "string", "int", "double", "button", "check", "lamp", "graph", "table", "picture"
    std::string callback;
    std::string label;
};
std::vector<ControlInfo> DeclaredControls(const char* file, int resource_id);

}  // namespace toolkit_testing
