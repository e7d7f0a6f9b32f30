// Access control at the station: the login before the first test, who is logged in on the main
// panel, the logout and the idle timeout, the commands dimmed for a role, and the password asked
// again before a change of what the station judges by. With [access] enabled off none of it
// shows and every command is as it always was.
#pragma once

#include <functional>
#include <string>

#include "access/roles.h"

namespace access_control {

// The station's panels as the login uses them.
struct StationPanels {
    const char* resource = nullptr;  // the panel resource the login panel is loaded from
    int main_panel = 0;
    int user_field = 0;     // the main panel's "who is logged in"
    int logout_button = 0;  // the main panel's "로그아웃"
    // Hides every station panel (when the login ends, before the login panel is shown).
    std::function<void()> hide_panels;
};

// Starts access control as the settings in force say, after the main panel is shown: without it
// hides the user field and the logout; with it shows the login panel, or, when the users cannot
// be read or there are none, warns with the file's name and runs for operators only. -1 when the
// login panel cannot be loaded.
int StartAccess(const StationPanels& panels);
// The settings changed while the station runs (StartAccess listens for it): access control turned
// on or off, the idle time. -1 when the login panel cannot be loaded.
int AccessSettingsChanged();
// Ends the login and forgets the panels (the station's shutdown, tests).
void StopAccess();

// Dims `control` while the user logged in may not give `command`, over whatever the program's
// own dimming does, with a tooltip naming who may; kept up to date at every login and logout.
// Nothing without access control.
void GuardControl(int panel, int control, Command command);
// Whether the user logged in may give `command`: always without access control, never in the
// operators-only mode or with nobody logged in.
bool May(Command command);
// True when the station runs for operators only (access control on, no users to log in).
bool OperatorsOnly();

// Asks the password of the user logged in again before `what` (e.g. "마스터 저장"); true when it
// is right and the user (as the table has them now) may give `command`. True without access
// control. A wrong password counts towards the lock.
bool Reauthenticate(Command command, const char* what);

// The login panel's handle (0 before it is loaded).
int LoginPanel();

int Login_ok(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Logout(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

}  // namespace access_control
