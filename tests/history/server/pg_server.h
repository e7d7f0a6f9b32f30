// A throw-away PostgreSQL for the tests and the benchmark: initdb into a temporary folder, run
// by the unprivileged user "postgres" when we are root, listening on 127.0.0.1 at a free port
// and on a socket in that folder only, with TLS on a certificate for 127.0.0.1 that a throw-away
// authority signed. Stopped and removed when it goes out of scope.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class PgServer {
  public:
    static constexpr const char* BIN = "/usr/lib/postgresql/15/bin/";
    static constexpr const char* USER = "surge";
    static constexpr const char* PASSWORD = "plant-secret";
    static constexpr const char* DATABASE = "plant";

    PgServer() {
        if (!std::filesystem::exists(std::string(BIN) + "initdb")) {
            why_not_ = "PostgreSQL 15 is not installed (scripts/deps installs it)";
            return;
        }
        char dir[] = "/tmp/surge-pg-XXXXXX";
        if (mkdtemp(dir) == nullptr) {
            why_not_ = "no temporary folder";
            return;
        }
        dir_ = dir;
        if (geteuid() == 0) {
            const passwd* pw = getpwnam("postgres");
            if (pw == nullptr || chown(dir, pw->pw_uid, pw->pw_gid) != 0) {
                why_not_ = "running as root and there is no user postgres to run the server";
                return;
            }
            as_ = "runuser -u postgres -- ";
        }
        port_ = FreePort();
        std::ofstream(dir_ + "/pw") << PASSWORD << "\n";
        if (!as_.empty()) {
            Shell("chown postgres " + dir_ + "/pw");
        }
        if (!Shell(as_ + BIN + "initdb -N -A scram-sha-256 -U " + USER + " --pwfile=" + dir_ +
                   "/pw -E UTF8 --no-locale -D " + dir_ + "/data > " + dir_ + "/initdb.log 2>&1")) {
            why_not_ = "initdb failed (" + dir_ + "/initdb.log)";
            return;
        }
        if (!MakeCertificates()) {
            why_not_ = "openssl could not make the test certificates (" + dir_ + "/tls.log)";
            return;
        }
        if (!Start()) {
            why_not_ = "the server did not start (" + dir_ + "/server.log)";
            return;
        }
        if (Value(std::string("CREATE DATABASE ") + DATABASE + "; SELECT 1", "postgres") != "1") {
            why_not_ = "no QPSQL driver or no database (libqt6sql6-psql)";
        }
    }
    ~PgServer() {
        if (!dir_.empty()) {
            Stop("immediate");
            std::filesystem::remove_all(dir_);
        }
    }
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Empty when the server runs, else why it does not.
    const std::string& WhyNot() const { return why_not_; }
    int Port() const { return port_; }
    // What a station is given: SURGE_HISTORY_DB, and the password in the environment.
    std::string Setting(const std::string& database = DATABASE,
                        const std::string& user = USER) const {
        return "host=127.0.0.1 port=" + std::to_string(port_) + " dbname=" + database +
               " user=" + user;
    }
    // The authority that signed the server's certificate, and one that did not.
    std::string Authority() const { return dir_ + "/ca.pem"; }
    std::string OtherAuthority() const { return dir_ + "/other-ca.pem"; }
    void PointStationHere(const std::string& database = DATABASE) const {
        PointStationHere(database, USER, PASSWORD);
    }
    // A station that logs in as `user` (a login of its own, as a witness server gives it).
    void PointStationHere(const std::string& database, const std::string& user,
                          const std::string& password) const {
        setenv("SURGE_HISTORY_DB", Setting(database, user).c_str(), 1);
        setenv("SURGE_HISTORY_PASSWORD", password.c_str(), 1);
    }
    // Runs a tool as the plant's DBA (this server's superuser) on `database`, `input` on its
    // standard input; its exit code (-1: it did not finish within a minute). Its output goes to
    // `output` when given, else to the test's own.
    int RunAsDba(const char* program, const QStringList& arguments, const std::string& input,
                 const std::string& database = DATABASE, std::string* output = nullptr) const {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SURGE_HISTORY_DB", QString::fromStdString(Setting(database)));
        environment.insert("SURGE_HISTORY_PASSWORD", PASSWORD);
        tool.setProcessEnvironment(environment);
        tool.setProcessChannelMode(output ? QProcess::MergedChannels : QProcess::ForwardedChannels);
        tool.start(program, arguments);
        tool.write(input.c_str());
        tool.closeWriteChannel();
        const bool finished = tool.waitForFinished(60000);
        if (output) {
            *output = tool.readAll().toStdString();
        }
        return finished ? tool.exitCode() : -1;
    }

    bool Start() {
        return Shell(as_ + BIN + "pg_ctl -w -t 30 -s -D " + dir_ + "/data -l " + dir_ +
                     "/server.log -o \"-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) +
                     " -k " + dir_ + " -c fsync=off -c max_connections=60 -c ssl=on" +
                     " -c ssl_cert_file=" + dir_ + "/server.pem -c ssl_key_file=" + dir_ +
                     "/server.key\" start");
    }
    // "fast" closes the sessions; "immediate" kills the server as a crash would.
    bool Stop(const std::string& mode) {
        return Shell(as_ + BIN + "pg_ctl -w -s -D " + dir_ + "/data -m " + mode + " stop");
    }

    // The first column of the first row of `sql`'s last statement on `database`, as text.
    std::string Value(const std::string& sql, const std::string& database = DATABASE) const {
        std::string value = "(no answer)";
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "pg_server_query");
            db.setHostName("127.0.0.1");
            db.setPort(port_);
            db.setDatabaseName(QString::fromStdString(database));
            db.setUserName(USER);
            db.setPassword(PASSWORD);
            QSqlQuery query(db);
            if (db.open()) {
                for (const QString& statement : QString::fromStdString(sql).split("; ")) {
                    if (!query.exec(statement)) {
                        break;
                    }
                }
                if (query.isActive() && query.isSelect() && query.next()) {
                    value = query.value(0).toString().toStdString();
                }
            }
        }
        QSqlDatabase::removeDatabase("pg_server_query");
        return value;
    }

  private:
    static bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }
    bool MakeCertificates() {
        const std::string in = "cd " + dir_ + " && ";
        const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        const std::string log = " >> tls.log 2>&1";
        bool ok = Shell(in + "openssl req -x509" + key + " -days 2 -subj /CN=surge-test-ca" +
                        " -keyout ca.key -out ca.pem" + log) &&
                  Shell(in + "openssl req -x509" + key + " -days 2 -subj /CN=other-ca" +
                        " -keyout other-ca.key -out other-ca.pem" + log) &&
                  Shell(in + "openssl req" + key + " -subj /CN=127.0.0.1 -keyout server.key" +
                        " -out server.csr" + log) &&
                  Shell(in + "printf 'subjectAltName=IP:127.0.0.1\\n' > san.ext && openssl x509" +
                        " -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2" +
                        " -extfile san.ext -out server.pem" + log) &&
                  Shell(in + "chmod 600 server.key");
        if (ok && !as_.empty()) {
            ok = Shell(in + "chown postgres server.key server.pem");
        }
        return ok;
    }
    static int FreePort() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        close(fd);
        return ntohs(address.sin_port);
    }

    std::string dir_;
    std::string as_;
    std::string why_not_;
    int port_ = 0;
};
