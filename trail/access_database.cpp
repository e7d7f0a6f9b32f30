#include "trail/access_database.h"

#include <QString>
#include <memory>

#include "records/database_file.h"

namespace trail {

namespace {

QString& FilePath() {
    static auto* path = new QString(QString::fromLatin1(records::DATABASE_FILE));
    return *path;
}

std::unique_ptr<records::Database>& Held() {
    static auto* db = new std::unique_ptr<records::Database>;
    return *db;
}

}  // namespace

bool OpenAccessDatabase() {
    if (!Held()) {
        // Other processes write the users and the trail too (surge-users): a write waits for
        // theirs.
        Held() = std::make_unique<records::Database>(QStringLiteral("surge_access"), 2000);
    }
    if (Held()->IsOpen()) {
        return true;
    }
    return Held()->Open(FilePath()) == records::DbStatus::Ok;
}

records::Database* AccessDatabase() {
    return Held() && Held()->IsOpen() ? Held().get() : nullptr;
}

void CloseAccessDatabase() {
    Held().reset();
}

void SetAccessDatabasePath(const QString& path) {
    CloseAccessDatabase();
    FilePath() = path;
}

QString AccessDatabasePath() {
    return FilePath();
}

}  // namespace trail
