// Start-up and shutdown of the station, and the callbacks' names: the top of the program.
#pragma once

// The station's entry: returns the process exit code.
int surge_main(int argc, char** argv);
// Start-up short of the event loop: the callbacks registered, the panels loaded (the main
// panel's tooltip the program's version), the port opened, the display set up, the history
// started, the main panel shown with its zero lines, then the login when access control is on.
// 0, or -1 when a panel could not be loaded.
int Start_station();
void Display_init();
// Dims the commands a role may not give (access control): saving, deleting a master, choosing
// the spreadsheet program.
void Guard_commands();
// Opens the inspection history, shows today's counts on the main panel and registers what
// follows each cycle (the record, then the gates).
void Start_history();
// Shows the gates' state for the master carried to the main panel (at start-up; the gates follow
// the settings themselves).
void Show_gates();
int Quit(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

// Binds every callback name of the panel resource to its function.
void Register_callbacks();
