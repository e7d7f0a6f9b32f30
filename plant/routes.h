// The service's routes, one function a group, each added to the server by AddRoutes.
#pragma once

#include <httplib.h>

#include "plant/live.h"
#include "plant/plant_settings.h"

namespace plant {

void AddRoutes(httplib::Server& server, const Settings& settings, Arrivals* arrivals);

// GET /health, answered without a login: 200 and whether the plant's server answers.
void AddHealth(httplib::Server& server, const Settings& settings);
// GET and POST /login, POST /logout, GET /api/session (the user, role and CSRF token).
void AddLogin(httplib::Server& server, const Settings& settings);
// GET /line, /api/line (one answer shared by the pages until a record arrives) and /api/line.csv:
// 라인 현황.
void AddLine(httplib::Server& server, const Settings& settings, Arrivals* arrivals);
// GET /trace and /api/trace?serial=SN: 추적.
void AddTrace(httplib::Server& server, const Settings& settings);
// GET /yield, /api/yield and /api/yield.csv: 수율.
void AddYield(httplib::Server& server, const Settings& settings);
// GET /trail, /api/trail and /api/trail.csv: 변경 기록.
void AddTrail(httplib::Server& server, const Settings& settings);
// GET /users, /api/users and /api/users.csv: the plant users, for an administrator only.
void AddUserList(httplib::Server& server, const Settings& settings);
// GET /charts, /api/charts and /api/charts.csv?master=NAME&item=...: 관리도.
void AddCharts(httplib::Server& server, const Settings& settings);
// POST /api/users: action, name, role, password, as an administrator's session.
void AddUsers(httplib::Server& server, const Settings& settings);

}  // namespace plant
