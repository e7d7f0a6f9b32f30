// The plant view's pages as the benchmark asks them: each page's API, and its query for a period
// with "{from}" and "{to}" put in (local "YYYY-MM-DDTHH:MM", `to` excluded). A page the service
// does not serve yet answers 404 and is reported as not there.
#pragma once

struct Page {
    const char* name;
    const char* path;
    const char* query;  // empty for a page without a period
};

inline constexpr Page PAGES[] = {
    {"라인 현황", "/api/line", ""},
    {"라인 현황 CSV", "/api/line.csv", ""},
    {"수율", "/api/yield", "from={from}&to={to}"},
    {"수율 CSV", "/api/yield.csv", "from={from}&to={to}"},
    {"관리도", "/api/charts", "from={from}&to={to}&master=MODEL-1"},
    {"관리도 CSV", "/api/charts.csv", "from={from}&to={to}&master=MODEL-1"},
    {"변경 기록", "/api/trail", "from={from}&to={to}"},
    {"변경 기록 CSV", "/api/trail.csv", "from={from}&to={to}"},
};

// The reads a page of a period makes, in plain SQL on the server ($1 the period's start, $2 its
// end): timed beside the pages, and explained to show the partitions and indexes each reads.
struct Read {
    const char* name;
    const char* sql;
};

inline constexpr Read READS[] = {
    {"yield by station",
     "SELECT station, count(*), count(*) FILTER (WHERE outcome = 'O.K'), count(*) FILTER (WHERE "
     "outcome = 'O.K' AND attempt = 1) FROM inspection WHERE started_at >= $1 AND started_at < $2 "
     "AND reference = 0 AND attempt > 0 GROUP BY station"},
    {"yield by master and day",
     "SELECT master, left(started_at, 10), count(*), count(*) FILTER (WHERE outcome = 'O.K') FROM "
     "inspection WHERE started_at >= $1 AND started_at < $2 AND reference = 0 GROUP BY 1, 2"},
    {"N.G Pareto",
     "SELECT station, phase, count(*) FROM inspection WHERE outcome = 'N.G' AND started_at >= $1 "
     "AND started_at < $2 GROUP BY 1, 2 ORDER BY 3 DESC"},
    {"a master's chart",
     "SELECT started_at, area, phase, ringing_frequency, damping FROM inspection WHERE master = "
     "'MODEL-1' AND started_at >= $1 AND started_at < $2 AND outcome <> 'incomplete' ORDER BY "
     "started_at"},
    {"the trail",
     "SELECT station, seq, at, user_name, action, object, after_value FROM audit WHERE at >= $1 "
     "AND at < $2 ORDER BY station, seq"},
};
