// Shared state of the toolkit's own files: the loaded panels and their controls.
#pragma once

#include <QDate>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/repaint.h"
#include "toolkit/toolkit.h"

class QTableWidget;

namespace toolkit_internal {

enum class Kind { STRING, INT, DOUBLE, BUTTON, CHECK, LAMP, GRAPH, TABLE, PICTURE, DECORATION };

struct Control {
    int id = 0;
    Kind kind = Kind::DECORATION;
    QPointer<QWidget> widget;
    CtrlCallbackPtr callback = nullptr;
    std::string callback_name;
    bool dirty = false;        // edited by the operator since its last commit
    bool dimmed = false;       // ATTR_DIMMED as the program set it
    bool role_dimmed = false;  // ATTR_ROLE_DIMMED: greyed whatever ATTR_DIMMED says
    QString own_tooltip;       // the resource's, which an empty ATTR_TOOLTIP_TEXT gives back
};

struct Panel {
    int handle = 0;
    int resource_id = 0;
    std::unique_ptr<QWidget> widget;
    std::map<int, Control> controls;
    int close_control = 0;  // the command whose commit the window's close box gives
};

// Every loaded panel by its handle.
std::map<int, Panel>& Panels();
Panel* FindPanel(int handle);
void DiscardAllPanels();
Control* FindControl(int panel, int control);
// The control as a table (nullptr when it is none).
QTableWidget* FindTable(int panel, int control);

// Runs a control's callback for an operator's action, `eventData1` passed on. The operator's input
// does not arrive here while a callback runs: the loops that keep the panels painted meanwhile
// (Delay, a serial read) exclude user input, which Qt queues. An action that does arrive meanwhile
// comes from a timer (an accessible press action clicks after one) or from the callback itself,
// and is ignored: one callback never runs inside another. Once a callback that held the thread
// has returned, the input Qt queued meanwhile is delivered at once, in order, with
// DeliveringHeldInput() true, and only then do the deferred calls run.
void Dispatch(int panel, int control, int event, int eventData1 = 0);
// True while the input held back during a callback is being delivered.
bool DeliveringHeldInput();
// Commits every field of the panel that the operator edited and did not commit yet.
void CommitPendingEdits(int panel);

// True while a callback runs.
bool InCallback();
// Runs `function(data)` as a callback: no other callback runs inside it.
void RunAsCallback(DeferredCallbackPtr function, void* data);
// Restarts the idle watch's count (an operator's key or click), or ends it now (tests).
void NoteInput();
void ExpireIdle();

// Looks up a registered callback by name (nullptr when none).
CtrlCallbackPtr FindCallback(const std::string& name);

// What tests and tools put in place of the system's (toolkit_testing.h); empty in the station.
struct MonitorGeometry {
    int height = 0;
    int width = 0;
};
MonitorGeometry& InjectedMonitor();
QDate& InjectedDate();
// Every Delay asked for, in seconds.
std::vector<double>& RequestedDelays();
// Input that a test has the toolkit deliver as held input, after the callback's own.
std::function<void()>& InjectedHeldInput();
void RunDeferredCalls();

// Gives a table's columns the widths its "columnWidths" property lists ("200,120,...").
void ApplyColumnWidths(QWidget* table);
// Gives a graph the axes its "xAxis" and "yAxis" properties list ("min,max,tick interval").
void ApplyGraphAxes(QWidget* graph);

// The date field and the ring (choice_controls.cpp); -1 when `w` is neither.
int SetChoiceText(QWidget* w, const QString& text);
int GetChoiceText(QWidget* w, QString* text);
int SetChoiceIndex(QWidget* w, int index);
int GetChoiceIndex(QWidget* w, double* index);

}  // namespace toolkit_internal
