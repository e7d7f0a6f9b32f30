#include "records/station_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <map>
#include <optional>

#include "records/database.h"

namespace records {

namespace {

std::map<std::string, StationFileWatch>& Watches() {
    static auto* watches = new std::map<std::string, StationFileWatch>;
    return *watches;
}

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const QString& path) {
    struct stat status {};
    if (stat(QFile::encodeName(path).constData(), &status) != 0) {
        return std::nullopt;
    }
    return FileId{status.st_dev, status.st_ino};
}

// The open file, its -wal and its -shm, as noted.
struct Noted {
    std::optional<FileId> file;
    std::optional<FileId> wal;
    std::optional<FileId> shm;
};

Noted& TheNoted() {
    static auto* noted = new Noted;
    return *noted;
}

QString PathOf(const char* suffix) {
    return QString::fromLatin1(DATABASE_FILE) + QString::fromLatin1(suffix);
}

void Tell(const std::map<std::string, StationFileWatch>& watches, const QString& aside) {
    for (const auto& [name, watch] : watches) {
        if (watch.begun) {
            watch.begun(aside);
        }
    }
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
    Tell(watches, aside);
    return aside;
}

void NoteOpenStationFile() {
    TheNoted() = {IdOf(PathOf("")), IdOf(PathOf("-wal")), IdOf(PathOf("-shm"))};
}

bool StationFileReplaced() {
    const Noted& noted = TheNoted();
    return noted.file && IdOf(PathOf("")) != noted.file;
}

Restored RestoreStationFile(const std::function<bool(const QString& copy)>& copy_open_file) {
    const QString path = PathOf("");
    const QString copy = PathOf(".restoring");
    QFile::remove(copy);
    // Made for the station's user alone before SQLite writes the copy into it.
    const int fd = ::open(QFile::encodeName(copy).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    if (!copy_open_file(copy)) {
        QFile::remove(copy);
        return {};
    }
    Restored restored{true, {}};
    const Noted noted = TheNoted();
    if (IdOf(path)) {
        const QDateTime now = QDateTime::currentDateTime();
        QString base = path;
        base.chop(3);
        restored.aside = base + QStringLiteral("-replaced-") +
                         now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + ".db";
        QFile::rename(path, restored.aside);
        // The open file's own -wal and -shm stay for its connections to close.
        for (const auto& [suffix, own] : {std::pair{"-wal", noted.wal}, {"-shm", noted.shm}}) {
            const std::optional<FileId> id = IdOf(PathOf(suffix));
            if (id && id != own) {
                QFile::rename(PathOf(suffix), restored.aside + QString::fromLatin1(suffix));
            }
        }
    }
    const std::map<std::string, StationFileWatch> watches = Watches();
    for (const auto& [name, watch] : watches) {
        if (watch.closing) {
            watch.closing();
        }
    }
    QFile::rename(copy, path);
    Tell(watches, QString());
    return restored;
}

}  // namespace records
