#include "records/record_fields.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace records {

namespace {

QDateTime Local(TimePoint time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms);
}

}  // namespace

QString IsoTime(TimePoint time) {
    const QDateTime local = Local(time);
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QDate LocalDay(TimePoint time) {
    return Local(time).date();
}

QString NewUuid(TimePoint time) {
    const auto ms = static_cast<quint64>(
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count());
    quint32 random[4];
    QRandomGenerator::system()->fillRange(random);
    unsigned char bytes[16];
    std::memcpy(bytes, random, sizeof bytes);
    for (int i = 0; i < 6; ++i) {
        bytes[i] = static_cast<unsigned char>(ms >> (8 * (5 - i)));
    }
    bytes[6] = static_cast<unsigned char>(0x70 | (bytes[6] & 0x0F));
    bytes[8] = static_cast<unsigned char>(0x80 | (bytes[8] & 0x3F));
    const QString hex = QString::fromLatin1(QByteArray(reinterpret_cast<char*>(bytes), 16).toHex());
    return hex.mid(0, 8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' + hex.mid(16, 4) + '-' +
           hex.mid(20);
}

namespace {

QString EnvironmentName() {
    const QString station = qEnvironmentVariable("SURGE_STATION");
    return station.isEmpty() ? QSysInfo::machineHostName() : station;
}

struct KeptName {
    std::mutex mutex;
    QString name;
};

KeptName& Kept() {
    static auto* kept = new KeptName;
    return *kept;
}

}  // namespace

QString StationName() {
    const QString asked = qEnvironmentVariable("SURGE_STATION");
    if (!asked.isEmpty()) {
        return asked;
    }
    std::lock_guard<std::mutex> lock(Kept().mutex);
    return Kept().name.isEmpty() ? QSysInfo::machineHostName() : Kept().name;
}

void KeepStationName(QSqlDatabase& db) {
    QSqlQuery query(db);
    QString name;
    if (query.exec(QStringLiteral("SELECT name FROM station_name LIMIT 1")) && query.next()) {
        name = query.value(0).toString();
    } else {
        name = EnvironmentName();
        query.prepare(QStringLiteral("INSERT INTO station_name (name) VALUES (?)"));
        query.addBindValue(name);
        if (!query.exec()) {
            return;
        }
    }
    std::lock_guard<std::mutex> lock(Kept().mutex);
    Kept().name = name;
}

QString KeptStationName() {
    std::lock_guard<std::mutex> lock(Kept().mutex);
    return Kept().name;
}

QString StationNameConflict() {
    const QString asked = qEnvironmentVariable("SURGE_STATION");
    const QString kept = KeptStationName();
    if (asked.isEmpty() || kept.isEmpty() || asked == kept) {
        return QString();
    }
    return QStringLiteral("SURGE_STATION=%1, but the station's file belongs to station %2")
        .arg(asked, kept);
}

}  // namespace records
