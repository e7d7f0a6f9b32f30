// Panel toolkit: the event loop, panels loaded from the panel resource, their controls, graphs,
// tables, modal popups, deferred calls, Delay, the system date and the file utilities.
//
// Panels and controls are addressed by integer handles and ids, values are passed in the
// control's own type, and every status is 0 (or a count, a handle) on success and negative on
// failure. Text crosses this interface as UTF-8.
//
// It is made for this station's Korean operators: InitRuntimeEngine installs Qt's Korean
// translation (the file dialog, the standard buttons) and the NanumGothic font at 11 points, and
// the popups' buttons read "예", "아니오" and "확인", the file dialog's "저장" and "선택". What
// is the station's own, such as a graph's scales, comes from the panel resource.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// ---- Events and callbacks -------------------------------------------------------------------

constexpr int EVENT_COMMIT = 1;
constexpr int EVENT_LEFT_CLICK = 3;
// eventData1 of a barcode field's commit (its `barcode` property in the panel resource) when the
// Enter was typed while a callback held the thread: delivered only once that callback returned. A
// barcode field takes Latin input only and keeps the group separator (0x1D, Ctrl+]) it is sent.
constexpr int VAL_HELD_INPUT = 1;

using CtrlCallbackPtr = int (*)(int panel, int control, int event, void* callbackData,
                                int eventData1, int eventData2);
using DeferredCallbackPtr = void (*)(void* callbackData);

// ---- Engine and event loop ------------------------------------------------------------------

// Starts the engine for this process. Returns 0 on failure; 1 when it is up (also when it
// already was).
int InitRuntimeEngine(int argc, char** argv);
void CloseRuntimeEngine();

// Makes `function` callable from the panel resource under `name`. Must happen before the
// panels are loaded: LoadPanel refuses a panel that names a callback nobody registered.
int RegisterCallback(const char* name, CtrlCallbackPtr function);

// Runs the event loop on this thread until QuitUserInterface is called.
int RunUserInterface();
// Makes RunUserInterface return once the running callback has returned.
int QuitUserInterface(int returnCode);

// Runs `function(data)` from the event loop after the running callback has returned.
int PostDeferredCall(DeferredCallbackPtr function, void* data);

// Calls `function(data)` from the event loop, after the running callback has returned, when the
// session ends the process (SIGTERM, SIGINT, SIGHUP); from then on every modal popup is answered
// with its cancel, since nobody is there to answer it. A second signal ends the process at once.
int SetSessionEndCallback(DeferredCallbackPtr function, void* data);
// Calls `function` when the display is lost (the X server gone, as at a logout): there is no event
// loop to return to, so it must end the station itself; the process then exits with 0.
int SetDisplayLostCallback(void (*function)());
// Windows, a console program: calls `function(event)` on a thread of the system's when the console
// ends the process (Ctrl+C, Ctrl+Break, the console closed, a logoff, a shutdown; `event` is the
// system's CTRL_*_EVENT), which must then make the program end itself; for the closing events the
// system waits for that at most its own few seconds. A second event ends the process at once with
// 130. Returns -1 on POSIX, where SetSessionEndCallback watches the signals.
int SetConsoleEndCallback(void (*function)(int event));

// Paints what changed on the panels now, without waiting for the running callback to return; the
// operator's input stays queued.
void ProcessDrawEvents();

// Calls `function(data)` once no key or click reached a panel for `seconds`, never inside a
// callback; it then waits for the next input before it counts again. 0 seconds stops the watch.
int SetIdleCallback(double seconds, DeferredCallbackPtr function, void* data);

// Holds the thread for `seconds`. The panels keep repainting; the operator's input (clicks, keys,
// the close box) stays queued in Qt and is delivered in order once the running callback returns.
void Delay(double seconds);

// ---- Panels ---------------------------------------------------------------------------------

// Loads the panel with resource id `resourceId` from the panel resource `file`. Returns its
// handle (> 0), or a negative status: -1 file missing or unreadable, -2 no such panel, -3 a
// callback named in the panel is not registered.
int LoadPanel(int parent, const char* file, int resourceId);
int DisplayPanel(int panel);
int HidePanel(int panel);
int DiscardPanel(int panel);
int SetPanelPos(int panel, int top, int left);
int SetPanelSize(int panel, int height, int width);

// Panels and controls: the text shown while the pointer rests on it.
constexpr int ATTR_TOOLTIP_TEXT = 1670;

int SetPanelAttribute(int panel, int attribute, const char* value);

constexpr int ATTR_PRIMARY_MONITOR = 1445;  // system attribute: the primary monitor's id
constexpr int ATTR_HEIGHT = 540;            // monitor attribute: height in pixels
constexpr int ATTR_WIDTH = 533;             // monitor attribute: width in pixels

int GetSystemAttribute(int attribute, int* value);
int GetMonitorAttribute(int monitor, int attribute, int* value);

// ---- Controls -------------------------------------------------------------------------------

constexpr int ATTR_DIMMED = 500;   // 1: the control is shown greyed and takes no input
constexpr int ATTR_VISIBLE = 530;  // 0: the control is hidden (its place on the panel is kept)
constexpr int ATTR_GRID_VISIBLE = 1094;  // graphs: 1 shows the x and y grid lines
constexpr int ATTR_GRID_COLOR = 1080;    // graphs: colour of the grid lines, 0xRRGGBB
constexpr int ATTR_TABLE_EDITABLE =
    1524;  // tables: 0 lets the operator choose cells, not edit them
// The toolkit's own: 1 greys the control for the user's role over ATTR_DIMMED, which then cannot
// undim it; ATTR_DIMMED reads 1 while either holds.
constexpr int ATTR_ROLE_DIMMED = 9001;
// ATTR_TOOLTIP_TEXT (above) on a control: "" gives back the resource's own.

int SetCtrlVal(int panel, int control, const char* value);
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);

int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, float* value);
int GetCtrlVal(int panel, int control, double* value);
// Copies the control's text into `buffer`, cut to fit `size` bytes with the terminator
// (never inside a character).
int GetCtrlString(int panel, int control, char* buffer, std::size_t size);
template <std::size_t N>
int GetCtrlVal(int panel, int control, char (&buffer)[N]) {
    return GetCtrlString(panel, control, buffer, N);
}

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, const char* value);
int GetCtrlAttribute(int panel, int control, int attribute, int* value);

// ---- Graphs ---------------------------------------------------------------------------------
// A graph's axes are those its "xAxis" and "yAxis" properties in the panel resource give, each
// "min,max,tick interval"; SetAxisRange sets them afresh.

enum PlotDataType { VAL_CHAR };        // samples are signed 8-bit values
enum PlotStyle { VAL_THIN_LINE };      // a thin line through the points
enum LineStyle { VAL_SOLID };          // solid line
constexpr int VAL_IMMEDIATE_DRAW = 1;  // DeleteGraphPlot: redraw at once
constexpr int VAL_BLUE = 0x0000FF;
constexpr int VAL_RED = 0xFF0000;

// Plots `count` samples against their index. Returns the plot's id (> 0) or a negative status.
int PlotY(int panel, int control, const signed char* samples, int count, PlotDataType dataType,
          PlotStyle plotStyle, int pointStyle, LineStyle lineStyle, int pointFrequency, int colour);
int PlotLine(int panel, int control, double x1, double y1, double x2, double y2, int colour);
int DeleteGraphPlot(int panel, int control, int plotId, int refresh);

// Graphs of readings over time: an axis set to a range, and a line through (x[i], y[i]).
enum GraphAxis { VAL_XAXIS, VAL_LEFT_YAXIS };
int SetAxisRange(int panel, int control, GraphAxis axis, double min, double max);
// Returns the plot's id (> 0) or a negative status; DeleteGraphPlot removes it.
int PlotXY(int panel, int control, const double* x, const double* y, int count, int colour);

// ---- Pictures ------------------------------------------------------------------------------

// Shows the image of `fileName` (PNG, JPEG, BMP) in a picture control, scaled to fit it with its
// proportions kept; -1 for a control that is no picture, -2 for a file that is no image.
int DisplayImageFile(int panel, int control, const char* fileName);

// ---- Tables (rows and columns count from 1) -------------------------------------------------

struct Point {
    int x = 0;  // column
    int y = 0;  // row
};
Point MakePoint(int x, int y);

constexpr int VAL_USE_MASTER_CELL_TYPE = -1;

// Inserts `count` rows before row `index`; index -1 appends after the last row.
int InsertTableRows(int panel, int control, int index, int count, int cellType);
// Deletes `count` rows from row `index`; count -1 deletes to the end.
int DeleteTableRows(int panel, int control, int index, int count);
int SetTableCellVal(int panel, int control, Point cell, const char* value);
int SetTableCellVal(int panel, int control, Point cell, int value);
int SetTableCellVal(int panel, int control, Point cell, double value);
// The active cell; {0, 0} when the table has no rows.
int GetActiveTableCell(int panel, int control, Point* cell);

// ---- Modal popups ---------------------------------------------------------------------------

// The title of the station's warnings, the toolkit's own among them; the station, the
// inspection history and the toolkit all write it from here.
constexpr const char* WARNING_TITLE = "경  고";

int MessagePopup(const char* title, const char* message);
// 1 for yes, 0 for no.
int ConfirmPopup(const char* title, const char* message);
// Asks for a line of text: 1 with the text in responseBuffer (cut to maxResponseLength - 1
// bytes, never inside a character), 0 when the operator cancelled or entered nothing.
int PromptPopup(const char* title, const char* message, char* responseBuffer,
                int maxResponseLength);
// Asks for a password, its input masked: 1 with it in responseBuffer (cut to fit), 0 on cancel.
int PasswordPopup(const char* title, const char* message, char* responseBuffer,
                  std::size_t bufferSize);

constexpr int VAL_SAVE_BUTTON = 1;  // the operator names a file to write, new or existing
constexpr int VAL_SELECT_BUTTON = 2;
constexpr int VAL_NO_FILE_SELECTED = 0;
constexpr int VAL_EXISTING_FILE_SELECTED = 1;
constexpr int VAL_NEW_FILE_SELECTED = 2;

// Lets the operator choose a file. Returns VAL_NO_FILE_SELECTED on cancel (pathBuffer is left
// as it was) or VAL_EXISTING_FILE_SELECTED with the path in pathBuffer; with VAL_SAVE_BUTTON the
// operator may name a file that does not exist yet (VAL_NEW_FILE_SELECTED). A path that does not
// fit pathBuffer (with its terminator) is refused with a warning and counts as a cancel.
int FileSelectPopupEx(const char* defaultDirectory, const char* defaultFileSpec,
                      const char* fileTypeList, const char* title, int buttonLabel,
                      int restrictDirectory, int restrictExtension, int allowCancel,
                      int allowMakeDirectory, char* pathBuffer, std::size_t pathBufferSize);
template <std::size_t N>
int FileSelectPopup(const char* defaultDirectory, const char* defaultFileSpec,
                    const char* fileTypeList, const char* title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char (&pathBuffer)[N]) {
    return FileSelectPopupEx(defaultDirectory, defaultFileSpec, fileTypeList, title, buttonLabel,
                             restrictDirectory, restrictExtension, allowCancel, allowMakeDirectory,
                             pathBuffer, N);
}

// ---- Mouse cursor ---------------------------------------------------------------------------

constexpr int VAL_DEFAULT_CURSOR = 0;
constexpr int VAL_HOUR_GLASS_CURSOR = 1;

// The cursor over every panel: the hour glass while the program works for seconds without asking
// the operator anything, shown before the call returns. -1 for a cursor it does not know.
int SetMouseCursor(int cursor);

// ---- System date ----------------------------------------------------------------------------

int GetSystemDate(int* month, int* day, int* year);

// ---- File utilities -------------------------------------------------------------------------

constexpr int VAL_READ_WRITE = 0;
constexpr int VAL_READ_ONLY = 1;
constexpr int VAL_WRITE_ONLY = 2;
constexpr int VAL_TRUNCATE = 0;
constexpr int VAL_APPEND = 1;
constexpr int VAL_OPEN_AS_IS = 2;
constexpr int VAL_BINARY = 0;
constexpr int VAL_ASCII = 1;

// Returns a file handle (>= 0) or -1.
int OpenFile(const char* fileName, int readWriteMode, int action, int fileType);
// Returns the number of bytes read or written, or -1.
int ReadFile(int fileHandle, char* buffer, int count);
int WriteFile(int fileHandle, const char* buffer, int count);
int CloseFile(int fileHandle);

// 0 on success, negative on failure.
int CopyFile(const char* source, const char* target);
int DeleteFile(const char* fileName);
int RenameFile(const char* existingName, const char* newName);  // replaces newName
int FileExists(const char* fileName);                           // 1 yes, 0 no
// Writes what the stream buffers to the disk itself (flush, then sync). 0 on success.
int FlushFileToDisk(std::FILE* stream);
// Makes the names created, renamed or deleted in the working directory durable.
int SyncWorkingDirectory();

int StringLength(const char* text);

// ---- Legacy text encoding -------------------------------------------------------------------

// Files that the legacy station wrote, or a spreadsheet reads, hold text in code page 949.
// Both return false (and leave `out` empty) when the text cannot be converted.
bool ToLegacyText(const char* utf8, std::string* out);
bool FromLegacyText(const char* legacy, std::string* out);

// ---- Launching other programs ---------------------------------------------------------------

// Starts `program` with the one argument `argument`, detached: nothing waits for it. 0 when it
// started, negative when it could not be started.
int LaunchProgram(const char* program, const char* argument);
// Opens `file` with the desktop's default program for its kind. 0 when that was started.
int OpenWithDefaultProgram(const char* file);
