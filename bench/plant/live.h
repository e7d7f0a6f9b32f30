// Twenty stations sending at once, one unit every 1.5 s each, as the station's forwarder sends
// (its insert, on a login of each station's own), while `pages` pages of 라인 현황 are open: each
// holds an event stream and reads /api/line again at each event, as web/line.js does.
#pragma once

#include <vector>

#include "bench/plant/client.h"

struct LiveTimes {
    std::vector<double> to_event;  // a record's send begun to its event on the first page's stream
    std::vector<double> to_line;   // ... to the first page's /api/line read again showing it
    double rss_mb = 0;             // the service's resident memory with the pages open
    int sent = 0;
};

LiveTimes RunLive(const BenchSetup& setup, int pages, int seconds);
