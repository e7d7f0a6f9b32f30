// The plant's history server as SURGE_HISTORY_DB names it: "host=db.plant port=5432
// dbname=surge user=line3 sslmode=verify-full sslrootcert=/etc/surge/plant-ca.pem". The password
// comes from SURGE_HISTORY_PASSWORD or from the file SURGE_HISTORY_PASSWORD_FILE names, which
// only the station's user may read.
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
    // libpq's TLS settings as given ("sslmode=verify-full;sslrootcert=..."), empty for libpq's
    // defaults.
    QString tls;
    // "host:port/database", for the operator's messages: never the password.
    QString Where() const;
    // The connection's options: TLS as set, a connection attempt of at most 2 s, and keepalives
    // with a user timeout, so that a server gone silent is noticed in seconds.
    QString LinkOptions() const;
};

// The password in the first line of the file at `path`, which only its owner may read; false, with
// why in `error`, when it is missing, others may read it, or it cannot be read.
bool ReadPasswordFile(const QString& path, QString* password, QString* error);

// The server of SURGE_HISTORY_DB; nothing when it is unset. A setting that cannot be used gives
// nothing and, in `error`, what is wrong with it. The password is taken out of the environment
// once it is read, so that no program the station starts (the spreadsheet) inherits it.
std::optional<ServerConfig> ReadServerConfig(QString* error);

}  // namespace records
