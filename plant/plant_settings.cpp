#include "plant/plant_settings.h"

#include <QFileInfo>
#include <QSettings>

#include "records/server_config.h"

namespace plant {

namespace {

bool ReadNumber(const QSettings& file, const char* key, int low, int high, int* number,
                std::string* problem) {
    if (!file.contains(key)) {
        return true;
    }
    bool ok = false;
    const int read = file.value(key).toString().toInt(&ok);
    if (!ok || read < low || read > high) {
        *problem = std::string(key) + ": not a number from " + std::to_string(low) + " to " +
                   std::to_string(high);
        return false;
    }
    *number = read;
    return true;
}

std::string Text(const QSettings& file, const char* key, const std::string& otherwise) {
    return file.contains(key) ? file.value(key).toString().trimmed().toStdString() : otherwise;
}

// The password file's first line, as a station reads its own (only its owner may read it).
bool ReadPassword(const std::string& path, Settings* settings, std::string* problem) {
    QString password;
    QString error;
    if (!records::ReadPasswordFile(QString::fromStdString(path), &password, &error)) {
        *problem = error.toStdString();
        return false;
    }
    settings->db_password = password.toStdString();
    return true;
}

}  // namespace

std::optional<Settings> ReadSettings(const std::string& path, std::string* problem) {
    if (!QFileInfo(QString::fromStdString(path)).isReadable()) {
        *problem = "cannot read the settings file " + path;
        return std::nullopt;
    }
    const QSettings file(QString::fromStdString(path), QSettings::IniFormat);
    Settings settings;
    settings.listen_address = Text(file, "listen/address", settings.listen_address);
    settings.db_host = Text(file, "database/host", settings.db_host);
    settings.db_name = Text(file, "database/name", "");
    settings.db_user = Text(file, "database/user", "");
    settings.db_tls = Text(file, "database/tls", "");
    settings.tls_certificate = Text(file, "tls/certificate", "");
    settings.tls_key = Text(file, "tls/key", "");
    settings.web_folder = Text(file, "web/folder", settings.web_folder);
    settings.plain_http_test_run = Text(file, "session/plain_http_test_run", "false") == "true";
    const std::string password_file = Text(file, "database/password_file", "");
    if (!ReadNumber(file, "listen/port", 0, 65535, &settings.listen_port, problem) ||
        !ReadNumber(file, "database/port", 1, 65535, &settings.db_port, problem) ||
        !ReadNumber(file, "session/idle_minutes", 1, 24 * 60, &settings.idle_minutes, problem) ||
        (!password_file.empty() && !ReadPassword(password_file, &settings, problem))) {
        return std::nullopt;
    }
    if (settings.db_name.empty() || settings.db_user.empty()) {
        *problem = "database/name and database/user must be set";
        return std::nullopt;
    }
    if (settings.tls_certificate.empty() != settings.tls_key.empty()) {
        *problem = "tls/certificate and tls/key are set together or not at all";
        return std::nullopt;
    }
    return settings;
}

}  // namespace plant
