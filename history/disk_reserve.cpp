#include "history/disk_reserve.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <cstdio>

#include "history/recording_warnings.h"
#include "log/log.h"
#include "settings/settings_in_force.h"

namespace history {

namespace {

constexpr const char* RESERVE_NOT_MADE =
    "디스크 여유 공간이 모자라 검사 이력의 예비 공간(%d MB)을 만들 수 없습니다.\n"
    "디스크가 가득 차면 검사 이력을 잃을 수 있습니다. 디스크 여유 공간을 확보하십시요.";
constexpr const char* DISK_FULL =
    "디스크가 가득 찼습니다. 검사 이력을 예비 공간에 기록했습니다.\n"
    "예비 공간도 곧 찹니다. 지금 디스크 여유 공간을 확보하십시요.";
// The reserve: a file of its own beside the database.
constexpr const char* RESERVE_FILE = "inspection_history.reserve";
// A write that fails with less than this free is taken for a full disk.
constexpr qint64 FULL_BELOW = 1 << 20;

bool disk_full = false;

qint64 ReserveBytes() {
    return static_cast<qint64>(settings::Settings().history.reserve_mb) << 20;
}

// Makes the reserve of the size set (0: none), the space allocated on disk; false when the disk
// has no room for it.
bool MakeReserve() {
    const qint64 bytes = ReserveBytes();
    const QByteArray path = QFile::encodeName(QString::fromLatin1(RESERVE_FILE));
    if (bytes == 0) {
        ::unlink(path.constData());
        return true;
    }
    if (QFileInfo(QString::fromLatin1(RESERVE_FILE)).size() == bytes) {
        return true;
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0600);
    const bool made = fd >= 0 && ::ftruncate(fd, 0) == 0 && ::posix_fallocate(fd, 0, bytes) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!made) {
        ::unlink(path.constData());
    }
    return made;
}

}  // namespace

void StartReserve(bool recording) {
    disk_full = false;
    if (recording && !MakeReserve()) {
        char text[512];
        std::snprintf(text, sizeof text, RESERVE_NOT_MADE, settings::Settings().history.reserve_mb);
        Tell(text);
    }
}

bool GiveUpReserve() {
    if (!QFileInfo::exists(QString::fromLatin1(RESERVE_FILE)) ||
        QStorageInfo(QDir::currentPath()).bytesAvailable() >= FULL_BELOW) {
        return false;
    }
    QFile::remove(QString::fromLatin1(RESERVE_FILE));
    surge_log::Write("warning", "the disk is full: the history's reserve is given up");
    disk_full = true;
    Tell(DISK_FULL);
    return true;
}

bool RemakeReserve() {
    if (disk_full &&
        QStorageInfo(QDir::currentPath()).bytesAvailable() > ReserveBytes() + FULL_BELOW &&
        MakeReserve()) {
        disk_full = false;
        return true;
    }
    return false;
}

bool DiskFull() {
    return disk_full;
}

}  // namespace history
