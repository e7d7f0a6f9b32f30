// What the plant benchmark's parts share: a logged-in session of surge-plant, a connection to the
// bench's PostgreSQL, percentiles and the service's memory.
#pragma once

#include <httplib.h>

#include <QSqlDatabase>
#include <QString>
#include <chrono>
#include <string>
#include <vector>

struct BenchSetup {
    QString home;     // the data set's folder (make-data)
    int db_port = 0;  // its PostgreSQL
    int plant_port = 0;
    int plant_pid = 0;
    std::string cookie;  // "surge_session=..." of the plant user "bench"
};

// The first line of the file `name` in the data set's folder.
QString HomeFile(const QString& home, const char* name);

// A plant user's session cookie; empty when the login failed.
std::string LogIn(int plant_port, const std::string& name, const std::string& password);

httplib::Headers WithCookie(const BenchSetup& setup);

// A connection of its own, named `name`, to the data set's server as `user`.
QSqlDatabase Connect(const BenchSetup& setup, const QString& name, const QString& user,
                     const QString& password);

double Percentile(std::vector<double> values, double p);

double MsSince(std::chrono::steady_clock::time_point start);

// The service's resident memory now (VmRSS) or at its peak (VmHWM), in MB.
double ServiceMemoryMb(int pid, const char* field);
