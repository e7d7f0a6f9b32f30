#include "soak/cycle_runner.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/surge.h"
#include "history/recorder.h"
#include "instrument/serial.h"
#include "soak/fault_plan.h"
#include "soak/history_check.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/sim_process.h"
#include "tests/support/work_dir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace tt = toolkit_testing;

namespace {

constexpr const char* WARNING_TITLE = "경  고";
constexpr const char* SERIAL_WARNING = "시리얼 통신이 되지 않습니다.\nRS232 콘텍터를 연결하십시요.";

// No pulses, so the wait after "ST" is its least, 0.1 s; noise 0 makes a sound winding pass.
std::vector<std::string> SimOptions(const std::vector<std::string>& more = {}) {
    std::vector<std::string> options = {"--noise", "0", "--setup", "0345050007"};
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int Attribute(int control, int attribute) {
    int value = -1;
    GetCtrlAttribute(mainHandle, control, attribute, &value);
    return value;
}

int VerdictShown() {
    const bool ok = Attribute(MAIN_OK_LED, ATTR_VISIBLE) == 1;
    const bool ng = Attribute(MAIN_NG_LED, ATTR_VISIBLE) == 1;
    if (ok && ng) {
        return 2;
    }
    return ok ? 1 : ng ? 0 : -1;
}

// Puts the line back to the simulator that SURGE_COM1 names, as after plugging it in again.
void Reconnect() {
    Close_com_port();
    Init_com_port();
}

// What the event loop does between two commands of the operator.
void IdleBetweenCommands() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    tt::RunDeferredCalls();
}

CycleOutcome RunCycle(const SoakSettings& settings, int cycle) {
    const CyclePlan plan = PlanCycle(settings.seed, cycle, settings.fault_every);
    CycleOutcome outcome;
    outcome.cycle = cycle;
    outcome.label = plan.Label();
    outcome.must_tell = plan.MustTell();
    outcome.harmless = plan.kind != FaultKind::NONE && !plan.MustTell();
    outcome.expected_pass = plan.ExpectedPass();

    tt::ClearShownPopups();
    std::optional<SimProcess> faulty;
    if (plan.kind != FaultKind::NONE) {
        faulty.emplace(SimOptions(plan.SimOptions()));
        Reconnect();
    }

    // A dimmed command takes no press.
    outcome.start_dimmed = Attribute(MAIN_CMD_30, ATTR_DIMMED) == 1;
    if (!outcome.start_dimmed) {
        tt::Commit(mainHandle, MAIN_CMD_30);
        outcome.verdict = VerdictShown();
        // The operator ends the testing state before the next start.
        tt::Commit(mainHandle, MAIN_CMD_29);
    }

    if (faulty) {
        outcome.incomplete = plan.LeftAReplyIncomplete(faulty->Commands());
        faulty.reset();  // SURGE_COM1 names the sound simulator again
        Reconnect();
    }
    for (const auto& popup : tt::ShownPopups()) {
        if (popup.title == WARNING_TITLE && popup.text == SERIAL_WARNING) {
            ++outcome.warnings;
        } else {
            ++outcome.other_popups;
            std::fprintf(stderr, "cycle %d (%s): popup \"%s\" \"%s\"\n", cycle,
                         outcome.label.c_str(), popup.title.c_str(), popup.text.c_str());
        }
    }
    const RecordedCycles recorded = NewRecords();
    outcome.records = recorded.records;
    outcome.recorded = recorded.last;
    IdleBetweenCommands();
    outcome.resident_kib = ResidentKiB();
    return outcome;
}

bool Report(int fd, const std::string& line) {
    std::size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t written = write(fd, line.data() + sent, line.size() - sent);
        if (written <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

int RunCycles(const SoakSettings& settings, int first, int report_fd) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char program[] = "surge-soak";
    char* argv[] = {program, nullptr};
    if (InitRuntimeEngine(1, argv) == 0) {
        std::fprintf(stderr, "surge-soak: the toolkit's engine did not start\n");
        return 3;
    }
    tt::ScriptPopups(true);
    int status = 0;
    try {
        ScopedWorkDir dir;
        SimProcess sound(SimOptions());
        // Start-up as the station does it, short of entering the event loop.
        if (Start_station() < 0) {
            throw std::runtime_error("the panels did not load");
        }
        // The operator names a master on the registration panel and comes back with it; that
        // fills the model field and enables the start command.
        tt::Commit(mainHandle, MAIN_CMD_26);
        tt::TypeText(setupHandle, SETUP_MODEL_NAME, "SOAK");
        tt::Commit(setupHandle, SETUP_QUIT);

        for (int cycle = first; cycle < settings.cycles; ++cycle) {
            if (!Report(report_fd, RunCycle(settings, cycle).Encode())) {
                throw std::runtime_error("the driver stopped listening");
            }
        }
        history::Stop();
        Close_com_port();
        DiscardPanel(mainHandle);
        DiscardPanel(setupHandle);
        DiscardPanel(masterHandle);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "surge-soak worker: %s\n", failure.what());
        status = 4;
    }
    CloseRuntimeEngine();
    return status;
}
