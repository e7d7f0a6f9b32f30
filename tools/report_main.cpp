// surge-report: writes the shift report of the station's history as a PDF.
//   surge-report [--from WHEN --to WHEN] [--master NAME] [--station NAME] [--db FILE] FILE.pdf
// WHEN is "YYYY-MM-DD" (as --to, that day included) or "YYYY-MM-DD HH:MM"; without them, the
// current shift. The history is the plant's server when SURGE_HISTORY_DB names one, else FILE
// of --db, "inspection_history.db" in the working directory by default. Exit codes: 0 written,
// 1 the history cannot be read, 2 the report cannot be written, 3 a wrong command line.
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "history/history_query.h"
#include "history/report_query.h"
#include "process/report_period.h"
#include "process/shift_report.h"
#include "records/database_file.h"

namespace {

constexpr int WRITTEN = 0;
constexpr int UNREADABLE = 1;
constexpr int UNWRITTEN = 2;
constexpr int USAGE_ERROR = 3;

constexpr const char* USAGE =
    "usage: surge-report [--from WHEN --to WHEN] [--master NAME] [--station NAME] [--db FILE]"
    " FILE.pdf\n"
    "WHEN: YYYY-MM-DD (as --to, that day included) or \"YYYY-MM-DD HH:MM\"; neither: the current"
    " shift.\n"
    "exit: 0 written, 1 the history cannot be read, 2 the report cannot be written, 3 usage.\n";

// What the command line asks.
struct CommandLine {
    std::string from, to, db = records::DATABASE_FILE, target;
    history::Filter filter;
};

constexpr int GO_ON = -1;  // a step's answer when the next one is to follow

// Reads the command line and the period it names into `line`: GO_ON, or USAGE_ERROR.
int Parse(const std::vector<std::string>& args, const QDateTime& now, CommandLine* line) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool has_value = i + 1 < args.size();
        if (arg == "--from" && has_value) {
            line->from = args[++i];
        } else if (arg == "--to" && has_value) {
            line->to = args[++i];
        } else if (arg == "--master" && has_value) {
            line->filter.master = args[++i];
        } else if (arg == "--station" && has_value) {
            line->filter.station = args[++i];
        } else if (arg == "--db" && has_value) {
            line->db = args[++i];
        } else if (arg.rfind("--", 0) != 0 && line->target.empty()) {
            line->target = arg;
        } else {
            std::fputs(USAGE, stderr);
            return USAGE_ERROR;
        }
    }
    if (line->target.empty()) {
        std::fputs(USAGE, stderr);
        return USAGE_ERROR;
    }
    std::string error;
    if (!process::ReportPeriod(line->from, line->to, now.date().year(), now.date().month(),
                               now.date().day(), now.time().hour() * 60 + now.time().minute(),
                               &line->filter, &error)) {
        std::fprintf(stderr, "surge-report: %s\n%s", error.c_str(), USAGE);
        return USAGE_ERROR;
    }
    return GO_ON;
}

// Opens `reader` on the history, the server's or the file `db`, and checks it holds the units'
// columns: GO_ON, or UNREADABLE.
int OpenHistory(const std::string& db, history::Reader* reader) {
    history::Source source = history::Source::File;
    if (!QFileInfo::exists(QString::fromStdString(db)) &&
        std::getenv("SURGE_HISTORY_DB") == nullptr) {
        std::fprintf(stderr, "surge-report: cannot read the history \"%s\"\n", db.c_str());
        return UNREADABLE;
    }
    if (!history::OpenHistoryReader(db, reader, &source)) {
        std::fprintf(stderr, "surge-report: cannot read the history \"%s\"\n", db.c_str());
        return UNREADABLE;
    }
    if (source == history::Source::FileServerUnreachable) {
        std::fprintf(stderr, "surge-report: the server cannot be reached; reading \"%s\"\n",
                     db.c_str());
    }
    if (!history::HoldsUnitColumns(*reader)) {
        history::CloseReader(*reader);
        const std::string which =
            source == history::Source::Server ? "on the plant's server" : "\"" + db + "\"";
        std::fprintf(stderr,
                     "surge-report: the history %s is of an older station's layout; the station"
                     " brings it up to date when it starts on it\n",
                     which.c_str());
        return UNREADABLE;
    }
    return GO_ON;
}

// Writes the report of the history `reader` reads and closes it.
int Write(const history::Reader& reader, const CommandLine& line, const QDateTime& now) {
    const process::ReportResult result = process::WriteShiftReport(
        reader, line.filter, line.target,
        now.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString(),
        [](int done, int total) { std::fprintf(stderr, "part %d of %d\n", done, total); });
    history::CloseReader(reader);
    switch (result) {
        case process::ReportResult::WRITTEN:
            std::printf("%s: %s\n", line.target.c_str(), process::PeriodText(line.filter).c_str());
            return WRITTEN;
        case process::ReportResult::READ_FAILED:
            std::fprintf(stderr, "surge-report: cannot read the history \"%s\"\n", line.db.c_str());
            return UNREADABLE;
        case process::ReportResult::WRITE_FAILED:
            break;
    }
    std::fprintf(stderr, "surge-report: cannot write \"%s\"\n", line.target.c_str());
    return UNWRITTEN;
}

}  // namespace

int main(int argc, char** argv) {
    // The painter needs a platform for its fonts; a supervisor's job has no display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const QDateTime now = QDateTime::currentDateTime();
    CommandLine line;
    if (const int parsed = Parse(args, now, &line); parsed != GO_ON) {
        return parsed;
    }
    history::Reader reader;
    if (const int opened = OpenHistory(line.db, &reader); opened != GO_ON) {
        return opened;
    }
    return Write(reader, line, now);
}
