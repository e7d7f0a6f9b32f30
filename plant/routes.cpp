#include "plant/routes.h"

#include <QSqlQuery>

#include "plant/connection.h"
#include "plant/session.h"

namespace plant {

namespace {

bool DatabaseAnswers(const Settings& settings) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::optional<QSqlDatabase> db = ThreadConnection(settings);
        if (!db) {
            return false;
        }
        if (QSqlQuery(*db).exec(QStringLiteral("SELECT 1"))) {
            return true;
        }
        DropThreadConnection();
    }
    return false;
}

}  // namespace

void AddHealth(httplib::Server& server, const Settings& settings) {
    server.Get("/health", [&settings](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string("{\"service\":true,\"database\":") +
                                 (DatabaseAnswers(settings) ? "true" : "false") + "}",
                             "application/json");
    });
}

void AddRoutes(httplib::Server& server, const Settings& settings, Arrivals* arrivals) {
    GuardRoutes(server, settings);
    AddHealth(server, settings);
    AddLogin(server, settings);
    AddUsers(server, settings);
    AddLine(server, settings, arrivals);
    AddTrace(server, settings);
    AddYield(server, settings);
    AddTrail(server, settings);
    AddUserList(server, settings);
    AddCharts(server, settings);
    if (!settings.web_folder.empty()) {
        server.set_mount_point("/static", settings.web_folder);
    }
}

}  // namespace plant
