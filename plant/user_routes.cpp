// POST /api/users: a plant user's change by an administrator's session.
#include "plant/connection.h"
#include "plant/json.h"
#include "plant/routes.h"
#include "plant/session.h"
#include "plant/user_change_query.h"

namespace plant {

namespace {

int StatusOf(const std::string& outcome) {
    return outcome == "done"           ? 200
           : outcome == "refused"      ? 403
           : outcome == "no such user" ? 404
           : outcome == "exists"       ? 409
           : outcome == "invalid"      ? 400
                                       : 503;
}

}  // namespace

void AddUsers(httplib::Server& server, const Settings& settings) {
    server.Post(
        "/api/users", [&settings](const httplib::Request& request, httplib::Response& response) {
            const UserChange change{
                request.get_param_value("action"), request.get_param_value("name"),
                request.get_param_value("role"), request.get_param_value("password")};
            std::string outcome;
            std::string problem;
            if (std::optional<QSqlDatabase> db = ThreadConnection(settings)) {
                outcome = RunUserChange(*db, TokenHash(CurrentSession().token), change, &problem);
            }
            response.status = StatusOf(outcome);
            response.set_content(
                "{\"outcome\":" + JsonString(outcome.empty() ? "unreadable" : outcome) + "}",
                "application/json");
        });
}

}  // namespace plant
