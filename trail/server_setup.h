// The plant server as a witness, set up once by the plant's DBA (surge-audit setup-server, on the
// DBA's connection in SURGE_HISTORY_DB): the tables owned by a role no station holds
// (SERVER_OWNER); each station's login allowed to read, and to append as its own station only;
// every arriving audit row checked against the station's chain on the server and every record's
// hash computed anew there, each stamped with the server's own time. Run again it changes nothing
// but adds the stations named; it is what brings a server's layout up to this version's.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QSqlDatabase;

namespace trail {

inline constexpr const char* SERVER_OWNER = "surge_owner";

struct StationLogin {
    std::string station;
    std::string login;
};

struct SetupOutcome {
    bool done = false;
    std::string text;  // what was done, or why it could not be
};

// Runs `work` on SURGE_HISTORY_DB's server as the plant's DBA, without a statement timeout, in
// one transaction committed only when `work` returns true. `work` is given the server's place and
// puts in `text` what it did, or why it could not. Without a server the outcome reads "`no_server`:
// ..."; a failure "`failed` PLACE: why".
SetupOutcome InDbaTransaction(
    const std::string& no_server, const std::string& failed,
    const std::function<bool(QSqlDatabase& db, const std::string& where, std::string* text)>& work);

// `plant_login`, when not empty, is given the plant view's service role (trail/plant_layout.h).
SetupOutcome SetUpServer(const std::vector<StationLogin>& stations,
                         const std::string& plant_login = "");

// The statements that make a server a witness, after its tables exist at records'
// SCHEMA_VERSION; `schema` is where they live (quoted), for the functions' search path.
std::vector<std::string> WitnessStatements(const std::string& schema);

// Why the server's copy of `station`'s chain is no witness, as read on `connection` (an open
// PostgreSQL connection's name); empty when it is one.
std::string WhyNoWitness(const std::string& connection, const std::string& station);

}  // namespace trail
