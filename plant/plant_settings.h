// The plant view's settings file (surge-plant --config PATH, "/etc/surge/plant.ini" by default):
//   [listen]   address = 127.0.0.1, port = 8080 (0: a free one, which surge-plant prints)
//   [database] host, port = 5432, name, user, password_file,
//              tls: libpq's ("sslmode=verify-full;sslrootcert=...")
//   [tls]      certificate, key: PEM files; HTTPS when both are set
//   [web]      folder: the pages' scripts and style (plant/web), "/usr/share/surge/plant"
//              by default
//   [session]  idle_minutes = 30; plain_http_test_run = true drops the cookie's Secure flag, for a
//              test run over plain HTTP on the loopback alone
#pragma once

#include <optional>
#include <string>

namespace plant {

inline constexpr const char* DEFAULT_SETTINGS_PATH = "/etc/surge/plant.ini";

struct Settings {
    std::string listen_address = "127.0.0.1";
    int listen_port = 8080;
    std::string db_host = "127.0.0.1";
    int db_port = 5432;
    std::string db_name;
    std::string db_user;
    std::string db_password;  // read from the password file
    std::string db_tls;
    std::string tls_certificate;
    std::string tls_key;
    std::string web_folder = "/usr/share/surge/plant";
    int idle_minutes = 30;
    bool plain_http_test_run = false;
};

// The settings of the file at `path`; nothing, with what is wrong in `problem`, when the file or
// a value cannot be used.
std::optional<Settings> ReadSettings(const std::string& path, std::string* problem);

}  // namespace plant
