#include "records/station_file.h"

#include <QDateTime>
#include <map>

#include "records/database.h"

namespace records {

namespace {

std::map<std::string, StationFileWatch>& Watches() {
    static auto* watches = new std::map<std::string, StationFileWatch>;
    return *watches;
}

}  // namespace

void WatchStationFile(const std::string& name, StationFileWatch watch) {
    if (!watch.closing && !watch.begun) {
        Watches().erase(name);
    } else {
        Watches()[name] = std::move(watch);
    }
}

QString SetAsideStationFile() {
    // A copy: a watch may register again while it is told.
    const std::map<std::string, StationFileWatch> watches = Watches();
    for (const auto& [name, watch] : watches) {
        if (watch.closing) {
            watch.closing();
        }
    }
    const QString aside =
        SetAside(QString::fromLatin1(DATABASE_FILE), QDateTime::currentDateTime());
    for (const auto& [name, watch] : watches) {
        if (watch.begun) {
            watch.begun(aside);
        }
    }
    return aside;
}

}  // namespace records
