// The plant's history server as SURGE_HISTORY_DB names it: "host=db.plant port=5432
// dbname=surge user=line3". The password comes from SURGE_HISTORY_PASSWORD or from the file
// SURGE_HISTORY_PASSWORD_FILE names, which only the station's user may read.
#pragma once

#include <QString>
#include <optional>

namespace records {

struct ServerConfig {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password;
    // "host:port/database", for the operator's messages: never the password.
    QString Where() const;
};

// The server of SURGE_HISTORY_DB; nothing when it is unset. A setting that cannot be used gives
// nothing and, in `error`, what is wrong with it.
std::optional<ServerConfig> ReadServerConfig(QString* error);

}  // namespace records
