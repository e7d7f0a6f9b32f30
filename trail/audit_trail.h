// The station's audit trail: who changed what the station judges by, when, from what to what.
// A row is written whenever the history is on or access control is on; one the file cannot take
// now is kept and written with the next, never dropped in silence.
#pragma once

#include <string>

namespace trail {

// Starts the trail (the settings' start-up does, before it puts the file's settings in force).
// A tool's trail is written whatever the settings say, and a damaged file is left where it is.
void StartTrail(bool for_tool = false);
// Writes what waits, if it can, and closes the station's file (the station's shutdown).
void StopTrail();
// Adds a row for `action` (an AUDIT_* action of audit_row.h) by the user logged in; `code` is what
// the station reads back of it (audit_row.h's CODE_*), where anything does.
void Audit(const std::string& action, const std::string& object, const std::string& before,
           const std::string& after, const std::string& reason = std::string(),
           const std::string& code = std::string());
// The same, written even where the trail is otherwise not (SURGE_HISTORY=off, access control
// off): a change of the settings that turns access control on or off.
void AuditAlways(const std::string& action, const std::string& object, const std::string& before,
                 const std::string& after);
// Whether access control is on: the settings in force say so at each change. A row is written
// when the history is on or access control is on.
void SetAccessControl(bool on);
// The rows written but not yet on the file (the file cannot take them now).
long PendingAuditRows();

}  // namespace trail
