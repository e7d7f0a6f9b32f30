// The plant server's connection of the calling thread: a Qt SQL connection belongs to the thread
// that opened it, so each of the service's threads opens its own, and opens it again once the
// server went away.
#pragma once

#include <QSqlDatabase>
#include <optional>

#include "plant/plant_settings.h"

namespace plant {

// This thread's open connection; nothing when the server does not answer.
std::optional<QSqlDatabase> ThreadConnection(const Settings& settings);
// Forgets this thread's connection after a failed query, so the next use connects anew.
void DropThreadConnection();

}  // namespace plant
