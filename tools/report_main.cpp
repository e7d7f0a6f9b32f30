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

}  // namespace

int main(int argc, char** argv) {
    // The painter needs a platform for its fonts; a supervisor's job has no display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string from, to, db = records::DATABASE_FILE, target;
    history::Filter filter;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool has_value = i + 1 < args.size();
        if (arg == "--from" && has_value) {
            from = args[++i];
        } else if (arg == "--to" && has_value) {
            to = args[++i];
        } else if (arg == "--master" && has_value) {
            filter.master = args[++i];
        } else if (arg == "--station" && has_value) {
            filter.station = args[++i];
        } else if (arg == "--db" && has_value) {
            db = args[++i];
        } else if (arg.rfind("--", 0) != 0 && target.empty()) {
            target = arg;
        } else {
            std::fputs(USAGE, stderr);
            return USAGE_ERROR;
        }
    }
    if (target.empty()) {
        std::fputs(USAGE, stderr);
        return USAGE_ERROR;
    }
    const QDateTime now = QDateTime::currentDateTime();
    std::string error;
    if (!process::ReportPeriod(from, to, now.date().year(), now.date().month(), now.date().day(),
                               now.time().hour() * 60 + now.time().minute(), &filter, &error)) {
        std::fprintf(stderr, "surge-report: %s\n%s", error.c_str(), USAGE);
        return USAGE_ERROR;
    }
    history::Source source = history::Source::File;
    if (!QFileInfo::exists(QString::fromStdString(db)) &&
        std::getenv("SURGE_HISTORY_DB") == nullptr) {
        std::fprintf(stderr, "surge-report: cannot read the history \"%s\"\n", db.c_str());
        return UNREADABLE;
    }
    if (!history::OpenHistoryReader(db, &source)) {
        std::fprintf(stderr, "surge-report: cannot read the history \"%s\"\n", db.c_str());
        return UNREADABLE;
    }
    if (source == history::Source::FileServerUnreachable) {
        std::fprintf(stderr, "surge-report: the server cannot be reached; reading \"%s\"\n",
                     db.c_str());
    }
    if (!history::HoldsUnitColumns()) {
        history::CloseReader();
        const std::string which =
            source == history::Source::Server ? "on the plant's server" : "\"" + db + "\"";
        std::fprintf(stderr,
                     "surge-report: the history %s is of an older station's layout; the station"
                     " brings it up to date when it starts on it\n",
                     which.c_str());
        return UNREADABLE;
    }
    const process::ReportResult result = process::WriteShiftReport(
        filter, target, now.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString(),
        [](int done, int total) { std::fprintf(stderr, "part %d of %d\n", done, total); });
    history::CloseReader();
    switch (result) {
        case process::ReportResult::WRITTEN:
            std::printf("%s: %s\n", target.c_str(), process::PeriodText(filter).c_str());
            return WRITTEN;
        case process::ReportResult::READ_FAILED:
            std::fprintf(stderr, "surge-report: cannot read the history \"%s\"\n", db.c_str());
            return UNREADABLE;
        case process::ReportResult::WRITE_FAILED:
            break;
    }
    std::fprintf(stderr, "surge-report: cannot write \"%s\"\n", target.c_str());
    return UNWRITTEN;
}
