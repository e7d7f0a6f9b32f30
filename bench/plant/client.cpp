#include "bench/plant/client.h"

#include <QFile>
#include <algorithm>
#include <fstream>
#include <sstream>

QString HomeFile(const QString& home, const char* name) {
    QFile file(home + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readLine()).trimmed();
}

std::string LogIn(int plant_port, const std::string& name, const std::string& password) {
    httplib::Client client("127.0.0.1", plant_port);
    client.set_read_timeout(120);  // Argon2id on a busy machine
    const auto answer = client.Post("/login", "name=" + name + "&password=" + password,
                                    "application/x-www-form-urlencoded");
    if (!answer || answer->status != 303) {
        return {};
    }
    const std::string cookie = answer->get_header_value("Set-Cookie");
    return cookie.substr(0, cookie.find(';'));
}

httplib::Headers WithCookie(const BenchSetup& setup) {
    return {{"Cookie", setup.cookie}};
}

QSqlDatabase Connect(const BenchSetup& setup, const QString& name, const QString& user,
                     const QString& password) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(setup.db_port);
    db.setDatabaseName(QStringLiteral("postgres"));
    db.setUserName(user);
    db.setPassword(password);
    db.open();
    return db;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double ServiceMemoryMb(int pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            std::istringstream words(line.substr(line.find(':') + 1));
            double kb = 0;
            words >> kb;
            return kb / 1024;
        }
    }
    return 0;
}
