// The forwarder's connection to the plant's server: connecting, the schema made or brought up to
// the station's version under a lock, and what a failure means.
#pragma once

#include <QString>

#include "records/server_config.h"

class QSqlDatabase;

namespace records {

// Ok: connected, the schema at this station's version. Down: no answer (the outbox waits).
// Refused: the server turned the station away (password, user, database). Untrusted: the TLS
// check failed (the server's certificate, its name). Newer: the server's schema is newer.
enum class Link { Ok, Down, Refused, Untrusted, Newer };

// Opens the connection `name` to `server`; `version` is the server's layout (its schema version,
// or the witness layout setup-server made), `reason` the server's or libpq's words on a failure
// (never the password).
Link Connect(const ServerConfig& server, const QString& name, int* version, QString* reason);
// The same connection for reading alone: the schema is neither made nor brought up (never Newer).
Link ConnectToRead(const ServerConfig& server, const QString& name, QString* reason);
// Closes and removes the connection `name` when it exists.
void Drop(const QString& name);

}  // namespace records
