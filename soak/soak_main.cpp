// surge-soak: runs thousands of inspection cycles against surge-sim, one cycle in about ten
// with a fault on the line, and prints what the operator was shown against what happened.
//
//   surge-soak [--cycles N] [--seed S] [--fault-every F]
//
// The cycles run in a worker process; the driver reads one line per cycle from it. A worker
// that dies (a signal, an abnormal exit, or no cycle for a minute) counts as a crash, and a
// new worker carries on with the next cycle. Exit code 0 when every figure meets its target.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "soak/cycle_runner.h"
#include "soak/fault_plan.h"

namespace {

constexpr int HANG_SECONDS = 60;
constexpr long GROWTH_LIMIT_KIB = 2048;
constexpr int FIRST_MEASURED_CYCLE = 100;

struct Tally {
    int cycles = 0;
    int crashes = 0;
    int faults_to_tell = 0;
    int harmless_faults = 0;
    int told = 0;               // cycles with the serial warning
    int told_of_fault = 0;      // ... whose fault had to be told
    int untold = 0;             // a fault to tell, no warning
    int false_alarms = 0;       // a warning without a fault to tell
    int repeated_warnings = 0;  // more than one warning in a cycle
    int incomplete_verdicts = 0;
    int wrong_verdicts = 0;
    int missing_verdicts = 0;  // neither a verdict nor a warning
    int other_popups = 0;
    int start_dimmed = 0;
    int records = 0;
    int misrecorded = 0;          // a cycle recorded other than once, or not as the operator saw it
    long resident_at_first = -1;  // after cycle FIRST_MEASURED_CYCLE
    long resident_at_last = -1;
    int resident_worker = -1;  // the worker that measured resident_at_first
    bool growth_measured = false;
    std::map<std::string, int> untold_by_fault;
};

void Count(const CycleOutcome& o, int worker, Tally* t) {
    ++t->cycles;
    t->faults_to_tell += o.must_tell;
    t->harmless_faults += o.harmless;
    t->told += o.warnings > 0;
    t->told_of_fault += o.warnings > 0 && o.must_tell;
    t->repeated_warnings += o.warnings > 1;
    if (o.must_tell && o.warnings == 0) {
        ++t->untold;
        ++t->untold_by_fault[o.label];
        std::fprintf(stderr, "cycle %d (%s): the operator was not told\n", o.cycle,
                     o.label.c_str());
    }
    if (!o.must_tell && o.warnings > 0) {
        ++t->false_alarms;
        std::fprintf(stderr, "cycle %d (%s): a warning without a fault\n", o.cycle,
                     o.label.c_str());
    }
    if (o.verdict >= 0 && o.incomplete) {
        ++t->incomplete_verdicts;
        std::fprintf(stderr, "cycle %d (%s): a verdict from an incomplete reply\n", o.cycle,
                     o.label.c_str());
    }
    if (o.verdict >= 0 && !o.incomplete && o.verdict != (o.expected_pass ? 1 : 0)) {
        ++t->wrong_verdicts;
        std::fprintf(stderr, "cycle %d (%s): verdict lamp %d, the instrument said %s\n", o.cycle,
                     o.label.c_str(), o.verdict, o.expected_pass ? "OK" : "NG");
    }
    if (o.verdict < 0 && o.warnings == 0) {
        ++t->missing_verdicts;
        std::fprintf(stderr, "cycle %d (%s): neither a verdict nor a warning\n", o.cycle,
                     o.label.c_str());
    }
    t->records += o.records;
    const char* shown = o.verdict == 1 ? "O.K" : o.verdict == 0 ? "N.G" : "incomplete";
    if (!o.start_dimmed && (o.records != 1 || o.recorded != shown)) {
        ++t->misrecorded;
        std::fprintf(stderr, "cycle %d (%s): %d records, the last \"%s\", the operator saw %s\n",
                     o.cycle, o.label.c_str(), o.records, o.recorded.c_str(), shown);
    }
    t->other_popups += o.other_popups;
    t->start_dimmed += o.start_dimmed;
    if (o.cycle == FIRST_MEASURED_CYCLE - 1) {
        t->resident_at_first = o.resident_kib;
        t->resident_worker = worker;
    }
    if (t->resident_at_first >= 0) {
        t->resident_at_last = o.resident_kib;
        t->growth_measured = worker == t->resident_worker;
    }
}

bool ParseArguments(int argc, char** argv, SoakSettings* settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const long value = std::strtol(argv[++i], nullptr, 10);
        if (option == "--cycles" && value > 0) {
            settings->cycles = static_cast<int>(value);
        } else if (option == "--seed" && value >= 0) {
            settings->seed = static_cast<unsigned>(value);
        } else if (option == "--fault-every" && value > 0) {
            settings->fault_every = static_cast<int>(value);
        } else {
            return false;
        }
    }
    return true;
}

// Seconds a cycle is expected to take: the 0.1 s wait, the exchanges, and a second more for
// each reply that never comes whole; a faulty cycle also starts a simulator and reconnects.
double EstimatedSeconds(const SoakSettings& settings, std::map<std::string, int>* kinds) {
    double seconds = 0;
    for (int cycle = 0; cycle < settings.cycles; ++cycle) {
        const CyclePlan plan = PlanCycle(settings.seed, cycle, settings.fault_every);
        seconds += 0.11;
        if (plan.kind == FaultKind::NONE) {
            continue;
        }
        ++(*kinds)[plan.Label().substr(0, plan.Label().find(' '))];
        seconds += 0.05;
        if (plan.kind == FaultKind::SILENCE || plan.kind == FaultKind::SHORT_REPLY) {
            seconds += 1.0;
        }
    }
    return seconds;
}

std::string Minutes(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%dm %02ds", static_cast<int>(seconds) / 60,
                  static_cast<int>(seconds) % 60);
    return text;
}

// Why a worker ended, for the crash count; "" when it finished its cycles cleanly.
std::string EndOf(int status) {
    if (WIFSIGNALED(status)) {
        return std::string("signal ") + strsignal(WTERMSIG(status));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        return "exit code " + std::to_string(WEXITSTATUS(status));
    }
    return "";
}

// Runs one worker from cycle `first` and counts what it reports. Returns the next cycle to run.
int RunWorker(const SoakSettings& settings, int first, int worker, Tally* tally) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        std::perror("surge-soak: pipe");
        std::exit(2);
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        std::_Exit(RunCycles(settings, first, pipe_fds[1]));
    }
    close(pipe_fds[1]);
    int next = first;
    std::string pending;
    bool hung = false;
    for (;;) {
        pollfd entry{pipe_fds[0], POLLIN, 0};
        const int ready = poll(&entry, 1, HANG_SECONDS * 1000);
        if (ready == 0) {
            hung = true;
            kill(pid, SIGKILL);
            break;
        }
        char chunk[4096];
        const ssize_t got = read(pipe_fds[0], chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        pending.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            CycleOutcome outcome;
            if (CycleOutcome::Decode(pending.substr(0, end), &outcome)) {
                Count(outcome, worker, tally);
                next = outcome.cycle + 1;
                if (next % 100 == 0) {
                    std::fprintf(stderr, "  ... %d cycles\n", next);
                }
            }
            pending.erase(0, end + 1);
        }
    }
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string end =
        hung ? "no cycle for " + std::to_string(HANG_SECONDS) + " s" : EndOf(status);
    if (!end.empty() || next < settings.cycles) {
        ++tally->crashes;
        std::fprintf(stderr, "worker %d ended at cycle %d: %s\n", worker, next,
                     end.empty() ? "before its last cycle" : end.c_str());
        // The cycle it was running is lost; the next worker starts after it.
        ++next;
    }
    return next;
}

void Figure(const char* name, const std::string& value, const std::string& target, bool pass,
            bool* all) {
    std::printf("  %-52s %12s  %-12s %s\n", name, value.c_str(), target.c_str(),
                pass ? "pass" : "FAIL");
    *all = *all && pass;
}

}  // namespace

int main(int argc, char** argv) {
    SoakSettings settings;
    if (!ParseArguments(argc, argv, &settings)) {
        std::fprintf(stderr, "usage: surge-soak [--cycles N] [--seed S] [--fault-every F]\n");
        return 2;
    }
    std::map<std::string, int> kinds;
    const double estimate = EstimatedSeconds(settings, &kinds);
    std::printf("surge soak: %d cycles, seed %u, a fault in about one cycle of %d\n",
                settings.cycles, settings.seed, settings.fault_every);
    std::printf("  faults planned:");
    for (const auto& [kind, count] : kinds) {
        std::printf(" %s %d,", kind.c_str(), count);
    }
    std::printf(" estimated time %s\n", Minutes(estimate).c_str());
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    Tally tally;
    for (int next = 0, worker = 0; next < settings.cycles; ++worker) {
        next = RunWorker(settings, next, worker, &tally);
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    bool all = true;
    std::printf("Figures (%d cycles run)\n", tally.cycles);
    Figure("crashes", std::to_string(tally.crashes), "0", tally.crashes == 0, &all);
    Figure("faults injected that reach a reply (to be told)", std::to_string(tally.faults_to_tell),
           "", true, &all);
    Figure("faults the operator was told of", std::to_string(tally.told_of_fault),
           "= " + std::to_string(tally.faults_to_tell),
           tally.told_of_fault == tally.faults_to_tell && tally.untold == 0, &all);
    Figure("harmless faults injected (bytes after \"ST\")", std::to_string(tally.harmless_faults),
           "", true, &all);
    Figure("warnings without a fault to tell", std::to_string(tally.false_alarms), "0",
           tally.false_alarms == 0, &all);
    Figure("verdicts shown from an incomplete reply", std::to_string(tally.incomplete_verdicts),
           "0", tally.incomplete_verdicts == 0, &all);
    Figure("verdicts other than the instrument's", std::to_string(tally.wrong_verdicts), "0",
           tally.wrong_verdicts == 0, &all);
    Figure("cycles with neither a verdict nor a warning", std::to_string(tally.missing_verdicts),
           "0", tally.missing_verdicts == 0, &all);
    Figure("other popups, repeated warnings, start dimmed",
           std::to_string(tally.other_popups + tally.repeated_warnings + tally.start_dimmed), "0",
           tally.other_popups + tally.repeated_warnings + tally.start_dimmed == 0, &all);
    Figure("inspection history records", std::to_string(tally.records),
           "= " + std::to_string(tally.cycles - tally.start_dimmed),
           tally.records == tally.cycles - tally.start_dimmed, &all);
    Figure("cycles recorded other than the operator saw them", std::to_string(tally.misrecorded),
           "0", tally.misrecorded == 0, &all);
    const long growth = tally.resident_at_last - tally.resident_at_first;
    Figure("resident memory growth, cycle 100 to the end (KiB)",
           tally.growth_measured ? std::to_string(growth) : "n/a", "< 2048",
           tally.growth_measured && growth < GROWTH_LIMIT_KIB, &all);
    std::printf("  %-52s %12s  (estimated %s)\n", "elapsed", Minutes(elapsed).c_str(),
                Minutes(estimate).c_str());
    for (const auto& [fault, count] : tally.untold_by_fault) {
        std::printf("  not told: %s x%d\n", fault.c_str(), count);
    }
    std::printf("%s\n", all ? "soak passed" : "soak FAILED");
    return all ? 0 : 1;
}
