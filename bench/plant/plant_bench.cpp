// The plant view against the data set make-data built: each page's first answer for a shift, a
// day and a week, a serial's trace, the reads behind the pages in plain SQL with their plans,
// twenty stations sending live to open pages, and the service's memory.
// Usage: bench_plant HOME DB_PORT PLANT_PORT PLANT_PID [LIVE_SECONDS]
#include <QCoreApplication>
#include <QDate>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/plant/client.h"
#include "bench/plant/live.h"
#include "bench/plant/pages.h"
#include "bench/report.h"

namespace {

constexpr int REQUESTS = 50;
constexpr double PAGE_LIMIT_MS = 1000;
constexpr double TRACE_LIMIT_MS = 200;

struct Period {
    const char* name;
    QString from;
    QString to;
};

// A shift, a day and a week, all ending with the data set's last whole day (make-data ends it on
// 2026-12-11, the last day partly filled at every size).
std::vector<Period> Periods() {
    const QDate day(2026, 12, 9);
    const auto at = [](QDate date, const char* clock) {
        return date.toString(Qt::ISODate) + QLatin1Char('T') + QLatin1String(clock);
    };
    return {{"a shift", at(day, "06:00"), at(day, "14:00")},
            {"a day", at(day, "00:00"), at(day.addDays(1), "00:00")},
            {"a week", at(day.addDays(-6), "00:00"), at(day.addDays(1), "00:00")}};
}

std::string Fill(std::string query, const Period& period) {
    for (const auto& [mark, value] : {std::pair{std::string("{from}"), period.from},
                                      std::pair{std::string("{to}"), period.to}}) {
        const std::size_t at = query.find(mark);
        if (at != std::string::npos) {
            query.replace(at, mark.size(), value.toStdString());
        }
    }
    return query;
}

// Times of REQUESTS answers after three to warm the cache; empty when the page is not served.
std::vector<double> TimeRequests(const BenchSetup& setup, const std::string& target) {
    httplib::Client client("127.0.0.1", setup.plant_port);
    client.set_read_timeout(120);
    std::vector<double> times;
    for (int i = -3; i < REQUESTS; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const auto answer = client.Get(target, WithCookie(setup));
        if (!answer || answer->status != 200) {
            return {};
        }
        if (i >= 0) {
            times.push_back(MsSince(start));
        }
    }
    return times;
}

void ReportTimes(const std::string& what, const std::vector<double>& times, double limit) {
    ReportFigure((what + ", median").c_str(), Percentile(times, 0.5), "ms", "-", 0, 0);
    ReportFigure((what + ", p95").c_str(), Percentile(times, 0.95), "ms", "the limit", limit, 1.0);
}

void TimePages(const BenchSetup& setup, const std::vector<Period>& periods,
               const std::string& size) {
    for (const Page& page : PAGES) {
        for (const Period& period : periods) {
            const bool periodic = page.query[0] != '\0';
            const std::string target =
                std::string(page.path) + (periodic ? "?" + Fill(page.query, period) : "");
            const std::vector<double> times = TimeRequests(setup, target);
            const std::string what = std::string(page.name) + " " + page.path +
                                     (periodic ? std::string(", ") + period.name : "") + ", " +
                                     size;
            if (times.empty()) {
                std::fprintf(stderr, "%s: not served\n", what.c_str());
            } else {
                ReportTimes(what, times, PAGE_LIMIT_MS);
            }
            if (!periodic) {
                break;
            }
        }
    }
}

void TimeTraces(const BenchSetup& setup, QSqlDatabase& db, const std::string& size) {
    QSqlQuery sample(db);
    sample.exec(QStringLiteral("SELECT serial FROM inspection TABLESAMPLE SYSTEM (0.5) "
                               "ORDER BY random() LIMIT %1")
                    .arg(REQUESTS));
    std::vector<std::string> serials;
    while (sample.next()) {
        serials.push_back(QUrl::toPercentEncoding(sample.value(0).toString()).toStdString());
    }
    for (const char* path : {"/api/trace", "/api/trace.csv"}) {
        httplib::Client client("127.0.0.1", setup.plant_port);
        std::vector<double> times;
        for (const std::string& serial : serials) {
            const auto start = std::chrono::steady_clock::now();
            const auto answer =
                client.Get(std::string(path) + "?serial=" + serial, WithCookie(setup));
            if (answer && answer->status == 200) {
                times.push_back(MsSince(start));
            }
        }
        ReportTimes(std::string("추적 ") + path + ", a random serial, " + size, times,
                    TRACE_LIMIT_MS);
    }
}

// Each read of READS for each period, timed warm, and its plan printed (lines "PLAN").
void TimeReads(QSqlDatabase& db, const std::vector<Period>& periods, const std::string& size) {
    for (const Read& read : READS) {
        for (const Period& period : periods) {
            QSqlQuery query(db);
            query.prepare(QString::fromUtf8(read.sql).replace("$1", "?").replace("$2", "?"));
            std::vector<double> times;
            for (int i = -3; i < REQUESTS / 5; ++i) {
                query.addBindValue(period.from);
                query.addBindValue(period.to);
                const auto start = std::chrono::steady_clock::now();
                query.exec();
                while (query.next()) {
                }
                if (i >= 0) {
                    times.push_back(MsSince(start));
                }
            }
            const std::string what =
                std::string("SQL: ") + read.name + ", " + period.name + ", " + size;
            ReportTimes(what, times, PAGE_LIMIT_MS);
            QSqlQuery plan(db);
            QString sql = QString::fromUtf8(read.sql);
            sql.replace("$1", "'" + period.from + "'").replace("$2", "'" + period.to + "'");
            plan.exec("EXPLAIN (ANALYZE, BUFFERS, COSTS OFF) " + sql);
            std::printf("PLAN\t%s\n", what.c_str());
            while (plan.next()) {
                std::printf("PLAN\t  %s\n", plan.value(0).toString().toUtf8().constData());
            }
        }
    }
}

void ReportLive(const BenchSetup& setup, int pages, int seconds) {
    const LiveTimes live = RunLive(setup, pages, seconds);
    const std::string of = " (20 stations 1 per 1.5 s, " + std::to_string(pages) + " pages open)";
    ReportFigure(("records sent" + of).c_str(), live.sent, "records", "-", 0, 0);
    ReportFigure(("send to event, median" + of).c_str(), Percentile(live.to_event, 0.5), "ms", "-",
                 0, 0);
    ReportFigure(("send to event, p99" + of).c_str(), Percentile(live.to_event, 0.99), "ms", "-", 0,
                 0);
    ReportFigure(("send to the page's table showing it, median" + of).c_str(),
                 Percentile(live.to_line, 0.5), "ms", "-", 0, 0);
    ReportFigure(("send to the page's table showing it, p99" + of).c_str(),
                 Percentile(live.to_line, 0.99), "ms", "the limit", 2000, 1.0);
    ReportFigure(("records seen on the page" + of).c_str(), live.to_line.size(), "records",
                 "records sent", live.sent, 0);
    ReportFigure(("service memory (VmRSS)" + of).c_str(), live.rss_mb, "MB", "the limit", 200, 1.0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_plant HOME DB_PORT PLANT_PORT PLANT_PID [SECONDS]\n");
        return 2;
    }
    BenchSetup setup{argv[1], std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), {}};
    const int seconds = argc > 5 ? std::atoi(argv[5]) : 180;
    const double idle = ServiceMemoryMb(setup.plant_pid, "VmRSS");
    setup.cookie = LogIn(setup.plant_port, "bench", HomeFile(setup.home, "bench-pw").toStdString());
    QSqlDatabase db = Connect(setup, QStringLiteral("bench"), QStringLiteral("surge"),
                              HomeFile(setup.home, "pw"));
    if (setup.cookie.empty() || !db.isOpen()) {
        std::fprintf(stderr, "no login to the service or the server\n");
        return 1;
    }
    QSqlQuery count(db);
    count.exec(QStringLiteral("SELECT count(*) FROM inspection WHERE serial NOT LIKE 'LIVE-%'"));
    count.next();
    const std::string size = std::to_string(count.value(0).toLongLong() / 1000000) + "M records";
    const std::vector<Period> periods = Periods();
    ReportFigure(("service memory idle (VmRSS), " + size).c_str(), idle, "MB", "-", 0, 0);
    // The peak after each part, so that a peak over the limit names the part that reached it.
    const auto peak = [&setup, &size](const std::string& after) {
        ReportFigure(("service memory peak (VmHWM) after " + after + ", " + size).c_str(),
                     ServiceMemoryMb(setup.plant_pid, "VmHWM"), "MB", "the limit", 200, 1.0);
    };
    TimePages(setup, periods, size);
    peak("the pages");
    TimeTraces(setup, db, size);
    TimeReads(db, periods, size);
    peak("the traces");
    if (seconds > 0) {
        ReportLive(setup, 1, seconds);
        peak("1 page live");
        ReportLive(setup, 50, seconds);
        peak("50 pages live");
    }
    return 0;
}
