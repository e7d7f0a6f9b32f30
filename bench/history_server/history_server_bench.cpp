// Twenty stations, one record a second each, sending to one PostgreSQL on this machine: the 99th
// percentile from the verdict to the record on the server, and the time a cycle spends recording
// (its local commit) with the server up, stopped, and slow (its table locked). Then one station
// making 20 records a second, one in ten of which the server refuses (a constraint of the
// plant's): the 99th percentile from the verdict to each of the others on the server.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/report.h"
#include "tests/history/server/pg_server.h"

namespace {

constexpr int STATIONS = 20;

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

using Stations = std::vector<std::unique_ptr<QProcess>>;

Stations StartStations(const QString& top, int cycles, int count = STATIONS, int interval_ms = 1000,
                       const QString& prefix = QStringLiteral("ST-")) {
    Stations stations;
    for (int s = 0; s < count; ++s) {
        const QString dir = top + QStringLiteral("/st%1").arg(s);
        QDir().mkpath(dir);
        auto station = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SURGE_STATION", prefix + QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0')));
        station->setProcessEnvironment(env);
        station->setWorkingDirectory(dir);
        // Each records once its start-up is over: the figures are of stations long up.
        station->start(SURGE_HISTORY_DRIVER_PATH,
                       {QString::number(cycles), QString::number(interval_ms), "120", "4000"});
        stations.push_back(std::move(station));
        QThread::msleep(1000 / STATIONS);  // spread over the second, as lines are
    }
    return stations;
}

// Every Record's time, in ms, of the stations once they have finished.
std::vector<double> RecordTimes(Stations& stations) {
    std::vector<double> times;
    for (auto& station : stations) {
        station->waitForFinished(300000);
        for (const QByteArray& line : station->readAllStandardOutput().split('\n')) {
            if (line.startsWith("record_times")) {
                const auto fields = line.split(' ');
                for (int i = 1; i < fields.size(); ++i) {
                    times.push_back(fields[i].toDouble());
                }
            }
        }
    }
    return times;
}

QSqlDatabase Connect(const PgServer& server, const char* name) {
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name);
    db.setHostName("127.0.0.1");
    db.setPort(server.Port());
    db.setDatabaseName(PgServer::DATABASE);
    db.setUserName(PgServer::USER);
    db.setPassword(PgServer::PASSWORD);
    db.open();
    return db;
}

// Watches the server while the stations run: each new record's delay from its verdict (ended_at).
std::vector<double> WatchLatency(const PgServer& server, Stations& stations,
                                 const QString& like = QStringLiteral("%")) {
    std::vector<double> delays;
    QSqlDatabase db = Connect(server, "watch");
    qlonglong last = 0;
    const auto running = [&] {
        return std::any_of(stations.begin(), stations.end(),
                           [](const auto& s) { return s->state() != QProcess::NotRunning; });
    };
    while (running()) {
        QSqlQuery query(db);
        query.exec(QStringLiteral("SELECT id, ended_at FROM inspection WHERE id > %1 AND "
                                  "station LIKE '%2'")
                       .arg(last)
                       .arg(like));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        while (query.next()) {
            last = std::max(last, query.value(0).toLongLong());
            const QDateTime ended =
                QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs);
            delays.push_back(static_cast<double>(now - ended.toMSecsSinceEpoch()));
        }
        for (auto& s : stations) {
            s->waitForFinished(0);
        }
        QThread::msleep(20);
    }
    return delays;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PgServer server;
    if (!server.WhyNot().empty()) {
        std::fprintf(stderr, "no server: %s\n", server.WhyNot().c_str());
        return 1;
    }
    server.PointStationHere();
    QTemporaryDir top;
    // One station first creates the server's tables, as the plant's first station did long ago.
    QDir().mkpath(top.path() + "/first");
    QProcess first;
    first.setWorkingDirectory(top.path() + "/first");
    first.start(SURGE_HISTORY_DRIVER_PATH, {"1", "1", "30"});
    first.waitForFinished(60000);

    Stations up = StartStations(top.path() + "/up", 30);
    const std::vector<double> delays = WatchLatency(server, up);
    const std::vector<double> up_times = RecordTimes(up);
    ReportFigure("verdict to record on the server, median (20 stations, 1/s each)",
                 Percentile(delays, 0.5), "ms", "-", 0, 0);
    ReportFigure("verdict to record on the server, p99 (20 stations, 1/s each)",
                 Percentile(delays, 0.99), "ms", "the limit", 1000, 1.0);

    server.Stop("fast");
    Stations down = StartStations(top.path() + "/down", 20);
    QThread::msleep(26000);
    server.Start();
    const std::vector<double> down_times = RecordTimes(down);

    QSqlDatabase locker = Connect(server, "locker");
    QSqlQuery lock(locker);
    locker.transaction();
    lock.exec("LOCK TABLE inspection IN ACCESS EXCLUSIVE MODE");
    Stations slow = StartStations(top.path() + "/slow", 20);
    QThread::msleep(26000);
    locker.rollback();
    const std::vector<double> slow_times = RecordTimes(slow);

    // Refused records set aside never hold the others back.
    server.Value(
        "ALTER TABLE inspection ADD CONSTRAINT bench_refuses_one_in_ten CHECK "
        "(station NOT LIKE 'REFUSING-%' OR serial NOT LIKE '%0')");
    Stations refusing =
        StartStations(top.path() + "/refusing", 10000, 1, 50, QStringLiteral("REFUSING-"));
    const std::vector<double> taken = WatchLatency(server, refusing, QStringLiteral("REFUSING-%"));
    RecordTimes(refusing);
    ReportFigure("verdict to record on the server, p99 (20/s, one in ten refused)",
                 Percentile(taken, 0.99), "ms", "the limit", 10000, 1.0);
    ReportFigure("records taken by the server (20/s, one in ten refused)",
                 static_cast<double>(taken.size()), "records", "nine in ten of 10,000", 9000, 0);

    for (const auto& [name, q] : {std::pair{"median", 0.5}, std::pair{"p99", 0.99}}) {
        const double up_value = Percentile(up_times, q);
        ReportFigure((std::string("a cycle's recording, ") + name + ", server up").c_str(),
                     up_value, "ms", "-", 0, 0);
        ReportFigure((std::string("a cycle's recording, ") + name + ", server stopped").c_str(),
                     Percentile(down_times, q), "ms", "server up", up_value, 1.5);
        ReportFigure(
            (std::string("a cycle's recording, ") + name + ", server slow (table locked)").c_str(),
            Percentile(slow_times, q), "ms", "server up", up_value, 1.5);
    }
    return 0;
}
