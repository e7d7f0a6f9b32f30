// surge-audit: checks the station's audit trail and records' chain, writes the trail out as CSV,
// or sets a plant server up as their witness.
//   surge-audit verify [--server] [FILE]
//   surge-audit export [FILE]
//   surge-audit setup-server [--station NAME=LOGIN ...] [--plant LOGIN]
//   surge-audit retain --server MONTHS
//   surge-audit --version
// FILE is "inspection_history.db" in the working directory unless named. Exit codes: 0 the trail
// holds (or was written out, or the server set up, or its old months detached), 1 it does not
// hold, 2 the file or the server cannot be read (or set up).
#include <QCoreApplication>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "records/csv_cell.h"
#include "records/database_file.h"
#include "records/record_fields.h"
#include "records/schema.h"
#include "trail/retention.h"
#include "trail/server_setup.h"
#include "trail/trail_check.h"

namespace {

constexpr int HOLDS = 0;
constexpr int BROKEN = 1;
constexpr int UNREADABLE = 2;

constexpr const char* USAGE =
    "usage: surge-audit verify [--server] [FILE]\n"
    "       surge-audit export [FILE]\n"
    "       surge-audit setup-server [--station NAME=LOGIN ...] [--plant LOGIN]\n"
    "       surge-audit retain --server MONTHS\n"
    "       surge-audit --version\n"
    "FILE: the station's database, inspection_history.db in the working directory by default.\n"
    "setup-server: on the plant DBA's connection in SURGE_HISTORY_DB (its password in\n"
    "SURGE_HISTORY_PASSWORD), each existing LOGIN may append as station NAME only; the\n"
    "existing LOGIN of --plant is the plant view's service (reads, and its users' functions).\n"
    "retain: on the same connection, the records' partitions of months before the MONTHS kept\n"
    "(this one counted) detached, never dropped.\n"
    "exit: 0 the trail holds, 1 it does not, 2 the file or the server cannot be read.\n";

int Verify(const std::string& path, bool server) {
    using trail::TrailVerdict;
    const trail::TrailCheck check =
        server ? trail::CheckTrailWithServer(path) : trail::CheckTrail(path);
    std::FILE* out = check.verdict == TrailVerdict::UNREADABLE ? stderr : stdout;
    std::fprintf(out, "%s\n", check.text.c_str());
    switch (check.verdict) {
        case TrailVerdict::HOLDS:
            return HOLDS;
        case TrailVerdict::BROKEN:
            return BROKEN;
        case TrailVerdict::UNREADABLE:
            break;
    }
    return UNREADABLE;
}

// The trail as CSV on standard output: UTF-8 with a byte-order mark, the columns' names, then one
// row per audit row, oldest first.
int Export(const std::string& path) {
    std::vector<trail::AuditRow> rows;
    std::string error;
    if (!trail::ReadTrail(path, &rows, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return UNREADABLE;
    }
    // The columns' names hold no blank.
    std::string header;
    for (const char* c = records::AUDIT_COLUMNS; *c != '\0'; ++c) {
        if (*c != ' ') {
            header += *c;
        }
    }
    std::string text = "\xEF\xBB\xBF" + header + "," + records::AUDIT_CODE_COLUMN + "\r\n";
    for (const trail::AuditRow& row : rows) {
        const std::string cells[] = {std::to_string(row.seq),
                                     row.at,
                                     row.station,
                                     row.user,
                                     row.role,
                                     row.action,
                                     row.object,
                                     row.before,
                                     row.after,
                                     row.reason,
                                     row.prev_hash,
                                     row.hash,
                                     row.code};
        for (const std::string& cell : cells) {
            text += records::CsvCell(cell);
            text += &cell == &cells[std::size(cells) - 1] ? "\r\n" : ",";
        }
    }
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                   std::fflush(stdout) == 0
               ? HOLDS
               : UNREADABLE;
}

int SetUp(const std::vector<std::string>& args) {
    std::vector<trail::StationLogin> stations;
    std::string plant_login;
    for (std::size_t i = 1; i < args.size(); i += 2) {
        if (args[i] == "--plant" && i + 1 < args.size() && !args[i + 1].empty()) {
            plant_login = args[i + 1];
            continue;
        }
        const std::size_t equals = i + 1 < args.size() ? args[i + 1].find('=') : std::string::npos;
        if (args[i] != "--station" || equals == std::string::npos || equals == 0 ||
            equals + 1 == args[i + 1].size()) {
            std::fputs(USAGE, stderr);
            return UNREADABLE;
        }
        stations.push_back({args[i + 1].substr(0, equals), args[i + 1].substr(equals + 1)});
    }
    const trail::SetupOutcome outcome = trail::SetUpServer(stations, plant_login);
    std::fprintf(outcome.done ? stdout : stderr, "%s\n", outcome.text.c_str());
    return outcome.done ? HOLDS : UNREADABLE;
}

int Retain(const std::vector<std::string>& args) {
    int months = 0;
    if (args.size() == 3 && args[1] == "--server") {
        try {
            std::size_t end = 0;
            months = std::stoi(args[2], &end);
            months = end == args[2].size() ? months : 0;
        } catch (const std::exception&) {
            months = 0;
        }
    }
    if (months < 1) {
        std::fputs(USAGE, stderr);
        return UNREADABLE;
    }
    const trail::SetupOutcome outcome = trail::RetainServer(months);
    std::fprintf(outcome.done ? stdout : stderr, "%s\n", outcome.text.c_str());
    return outcome.done ? HOLDS : UNREADABLE;
}

}  // namespace

int main(int argc, char** argv) {
    // Qt SQL finds its drivers through the application.
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    const std::string command = args.empty() ? std::string() : args[0];
    if (command == "--version" && args.size() == 1) {
        std::printf("surge-audit %s\n", records::SoftwareVersion().toStdString().c_str());
        return HOLDS;
    }
    if (command == "setup-server") {
        return SetUp(args);
    }
    if (command == "retain") {
        return Retain(args);
    }
    const bool server = args.size() > 1 && args[1] == "--server";
    const std::size_t file_at = server ? 2 : 1;
    const bool known = command == "verify" || (command == "export" && !server);
    if (!known || args.size() > file_at + 1) {
        std::fputs(USAGE, stderr);
        return UNREADABLE;
    }
    const std::string path = args.size() > file_at ? args[file_at] : records::DATABASE_FILE;
    return command == "verify" ? Verify(path, server) : Export(path);
}
