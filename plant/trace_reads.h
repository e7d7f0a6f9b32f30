// 추적's read of the plant's server: every test of one serial number at any station, oldest
// first, with both of its waves.
#pragma once

#include <QSqlDatabase>
#include <optional>
#include <string>
#include <vector>

namespace plant {

struct TracedTest {
    std::string station;
    std::string started_at;
    std::string master;
    std::string master_version;  // its first 8 hex digits; empty for an unsaved master
    std::string operator_name;
    std::string verdict;
    int attempt = 0;
    std::optional<int> area;  // NULL when the cycle did not reach the reading
    std::optional<int> phase;
    std::vector<int> standard;  // the 300 samples as stored; empty when the record has none
    std::vector<int> measured;
};

// The most tests of one serial a trace shows.
constexpr int TRACE_LIMIT = 1000;

// The tests of `serial` by their start, through the index on (serial, started_at); none for an
// empty serial; nothing when the server cannot be read.
std::optional<std::vector<TracedTest>> ReadTrace(QSqlDatabase& db, const std::string& serial);

}  // namespace plant
