#include "records/server_config.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace records {

namespace {

// libpq's TLS keywords that SURGE_HISTORY_DB passes on.
constexpr const char* TLS_KEYS[] = {"sslmode", "sslrootcert", "sslcert", "sslkey"};
constexpr const char* SSL_MODES[] = {"disable", "allow",     "prefer",
                                     "require", "verify-ca", "verify-full"};

bool IsTlsKey(const QString& key) {
    for (const char* known : TLS_KEYS) {
        if (key == QLatin1String(known)) {
            return true;
        }
    }
    return false;
}

bool IsSslMode(const QString& mode) {
    for (const char* known : SSL_MODES) {
        if (mode == QLatin1String(known)) {
            return true;
        }
    }
    return false;
}

// The password of SURGE_HISTORY_PASSWORD, kept here once read and taken out of the environment.
QString EnvironmentPassword() {
    static QString kept;
    if (qEnvironmentVariableIsSet("SURGE_HISTORY_PASSWORD")) {
        kept = qEnvironmentVariable("SURGE_HISTORY_PASSWORD");
        qunsetenv("SURGE_HISTORY_PASSWORD");
    }
    return kept;
}

}  // namespace

bool ReadPasswordFile(const QString& path, QString* password, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("암호 파일 %1 이 없습니다.").arg(path);
        return false;
    }
    constexpr auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (info.permissions() & others) {
        *error =
            QStringLiteral("암호 파일 %1 을 다른 사용자도 읽을 수 있습니다 (chmod 600).").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("암호 파일 %1 을 읽을 수 없습니다.").arg(path);
        return false;
    }
    *password = QString::fromUtf8(file.readLine()).trimmed();
    return true;
}

QString ServerConfig::LinkOptions() const {
    QString options = QStringLiteral(
        "connect_timeout=2;keepalives_idle=5;keepalives_interval=2;keepalives_count=2;"
        "tcp_user_timeout=5000");
    if (!tls.isEmpty()) {
        options += QLatin1Char(';') + tls;
    }
    return options;
}

QString ServerConfig::Where() const {
    return QStringLiteral("%1:%2/%3").arg(host).arg(port).arg(database);
}

std::optional<ServerConfig> ReadServerConfig(QString* error) {
    error->clear();
    const QString setting = qEnvironmentVariable("SURGE_HISTORY_DB").trimmed();
    if (setting.isEmpty()) {
        return std::nullopt;
    }
    ServerConfig config;
    for (const QString& pair : setting.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        const QString key = pair.left(eq);
        const QString value = eq < 0 ? QString() : pair.mid(eq + 1);
        bool number = true;
        if (key == QLatin1String("host")) {
            config.host = value;
        } else if (key == QLatin1String("port")) {
            config.port = value.toInt(&number);
        } else if (key == QLatin1String("dbname")) {
            config.database = value;
        } else if (key == QLatin1String("user")) {
            config.user = value;
        } else if (IsTlsKey(key)) {
            // libpq takes the options blank-separated: a path holding a blank or ';' cannot pass.
            number = !value.contains(QLatin1Char(';')) &&
                     (key != QLatin1String("sslmode") || IsSslMode(value));
            config.tls += (config.tls.isEmpty() ? QString() : QStringLiteral(";")) + pair;
        } else if (key == QLatin1String("password")) {
            *error = QStringLiteral(
                "SURGE_HISTORY_DB 에는 암호를 쓰지 않습니다 "
                "(SURGE_HISTORY_PASSWORD_FILE).");
            return std::nullopt;
        } else {
            // A key the station does not know may be a mistyped password: only its name is told.
            *error = QStringLiteral("SURGE_HISTORY_DB 의 %1 을 알 수 없습니다.").arg(key);
            return std::nullopt;
        }
        if (!number || value.isEmpty() || config.port <= 0 || config.port > 65535) {
            *error = QStringLiteral("SURGE_HISTORY_DB 의 %1 을 알 수 없습니다.").arg(pair);
            return std::nullopt;
        }
    }
    if (config.host.isEmpty() || config.database.isEmpty() || config.user.isEmpty()) {
        *error = QStringLiteral("SURGE_HISTORY_DB 에 host, dbname, user 가 모두 있어야 합니다.");
        return std::nullopt;
    }
    const QString file = qEnvironmentVariable("SURGE_HISTORY_PASSWORD_FILE");
    if (!file.isEmpty()) {
        if (!ReadPasswordFile(file, &config.password, error)) {
            return std::nullopt;
        }
    } else {
        config.password = EnvironmentPassword();
    }
    return config;
}

}  // namespace records
