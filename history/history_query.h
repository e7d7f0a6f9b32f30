// Reading the inspection history for its panel and its export: the records of a filter newest
// first a page at a time, the filter's counts, a sample of its readings over time and one
// record's waves. Nothing here loads more than a page or a sample of the table.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/basics.h"
#include "values/outcome.h"
#include "values/wave.h"

namespace history {

struct Filter {
    std::string from;  // first day, "YYYY-MM-DD"
    std::string to;    // last day, included
    // A period to the second, for a shift: when both are set, [from_at, to_at) as local times
    // "YYYY-MM-DDTHH:MM:SS" takes the place of the days.
    std::string from_at;
    std::string to_at;
    std::string master;              // empty: any master
    std::string serial;              // empty: any unit
    std::string station;             // empty: every station the reader holds
    std::string operator_name;       // empty: any operator
    std::optional<Outcome> outcome;  // empty: any outcome
    bool refused = false;            // only the records the plant's server refused
    bool wave_alarm = false;         // only the records the station flagged for their wave

    friend bool operator==(const Filter&, const Filter&) = default;
};

struct ListedRecord {
    long long id = 0;
    std::string started_at;
    std::string serial;
    std::string master;
    std::string outcome;
    std::string station;
    bool has_readings = false;  // area and phase were read
    int area = 0;
    int phase = 0;
};

// Where a page ends: the next page holds the records older than this one.
struct PageKey {
    std::string started_at;
    long long id = 0;
};

struct TrendPoint {
    double day = 0;  // days since the filter's first day began
    int area = 0;
    int phase = 0;
};

// An open reader of the history: its connection, by name, and whether it reads the plant's
// server, whose reads differ from the file's. Whoever opens a reader holds this value and passes
// it to each read; the name is the opener's to choose before opening.
struct Reader {
    std::string connection = "history_panel";
    bool on_server = false;
    bool wave_columns = true;  // the records hold the wave's columns (a server set up for them)
};

// Opens the reader's own connection on `file`, creating the tables and the indexes when they are
// missing. False when the file cannot be read as the history.
bool OpenReader(const std::string& file, Reader* reader);
void CloseReader(const Reader& reader);

// Where the reader reads: the station's file, the plant's server (every station's records), or
// the file because the server of SURGE_HISTORY_DB could not be reached.
enum class Source { File, Server, FileServerUnreachable };
// Opens the reader on the plant's server when one is set, else (or when it cannot be reached) on
// `file`. False when neither can be read.
bool OpenHistoryReader(const std::string& file, Reader* reader, Source* source);
// This station's name in its records.
std::string ThisStation();

// The filter's counts (history/counts.h) and its number of records, incomplete cycles included.
bool CountRecords(const Reader& reader, const Filter& filter, Counts* counts, long long* records);
// The filter's units (history/counts.h): tested, final O.K, passed on retest.
bool CountUnits(const Reader& reader, const Filter& filter, UnitCounts* units);
// The filter's units passed on retest, newest first: each serial with its tests in the filter.
struct RetestedUnit {
    std::string serial;
    int tests = 0;
    std::string last_at;
};
bool ListPassedOnRetest(const Reader& reader, const Filter& filter,
                        std::vector<RetestedUnit>* units);
// Up to `rows` records of the filter newest first, older than `after` when it is given.
bool FetchPage(const Reader& reader, const Filter& filter, const PageKey* after, int rows,
               std::vector<ListedRecord>* page);
// Up to `points` records with readings, spread evenly over the filter's days; `count` is the
// filter's number of records (from CountRecords).
bool SampleTrend(const Reader& reader, const Filter& filter, long long count, int points,
                 std::vector<TrendPoint>* trend);
// A record's waves; a wave the cycle did not reach is left empty.
bool FetchWaves(const Reader& reader, long long id, std::optional<Wave>* standard,
                std::optional<Wave>* measured);
// "2026-12-03 10:00:00 서버 거부: the server's message" for a record the server refused; empty
// for any other, and on a server's reader.
bool FetchRefusal(const Reader& reader, long long id, std::string* message);

// The export's columns, and every record of the filter oldest first as their texts (empty for a
// reading the cycle did not reach). `row` returns false to stop.
std::vector<std::string> ExportColumns();
bool ScanRecords(const Reader& reader, const Filter& filter,
                 const std::function<bool(const std::vector<std::string>& cells)>& row);

// "YYYY-MM-DD" arithmetic for the filter's days; empty for a text that is no date.
std::string AddDays(const std::string& date, int days);
int DaysBetween(const std::string& from, const std::string& to);

}  // namespace history
