// The fields of a record that the station does not measure: its times, its uuid, the station, the
// software.
#pragma once

#include <QDate>
#include <QString>
#include <chrono>

class QSqlDatabase;

namespace records {

using TimePoint = std::chrono::system_clock::time_point;

// Local time, ISO 8601 with milliseconds and the offset: "2026-12-09T10:15:02.123+09:00".
QString IsoTime(TimePoint time);
QDate LocalDay(TimePoint time);
// A random uuid whose first 48 bits are the time in milliseconds (version 7), so that the
// records' uuids come in order and their index grows at its end.
QString NewUuid(TimePoint time);
// The station's name: SURGE_STATION when set, else the one its file keeps (KeepStationName), else
// the host name. Where SURGE_STATION names another than the file keeps, the tools refuse and the
// station warns (StationNameConflict).
QString StationName();
// The name the station's file keeps, once it is open; empty before.
QString KeptStationName();
// Takes the name the station's file `db` keeps, or keeps the name above in it at its first start.
void KeepStationName(QSqlDatabase& db);
// When SURGE_STATION names another station than the file keeps, what to tell; else empty.
QString StationNameConflict();
// This build's version and commit, "1.0.0 (abc1234)": what each record and audit row carries.
QString SoftwareVersion();

}  // namespace records
