// The inspection cycle as the operator gets it: the whole station started in a real window (run
// it on an X server with a window manager, QT_QPA_PLATFORM=xcb) and its start command pressed
// unit after unit against surge-sim pacing at 115200 baud. Each cycle is timed from the wire, by
// the simulator's receive timestamps: from the arrival of "ME\r" to the arrival of "RE\r". Its
// floor is the wait after "ST" plus the line time of the cycle's bytes. Each is measured with the
// history off, and with the history on and a plant server set (a throw-away PostgreSQL on this
// machine), and with access control on as well (an operator logged in), in the same run.
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "access/access_uir.h"
#include "access/login.h"
#include "access/users.h"
#include "app/surge.h"
#include "bench/report.h"
#include "history/recorder.h"
#include "instrument/serial.h"
#include "settings/settings_in_force.h"
#include "state/main_model.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/history/server/pg_server.h"
#include "tests/support/sim_process.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"
#include "trail/session.h"

namespace {

constexpr double BYTE_MS = 1000.0 * 10.0 / 115200.0;
constexpr int LINE_BYTES = 5 * 3 + SETUP_REPLY_LENGTH + 2 * WAVE_LENGTH + RESULT_REPLY_LENGTH;

// The simulator logs, per command, "RX" on its arrival and "TX" once its reply has gone out.
// One cycle is ten such moments: ME, ST, WT, WS, RE, each received then answered.
constexpr const char* COMMANDS[] = {"ME", "ST", "WT", "WS", "RE"};
constexpr int MOMENTS = 10;

struct Run {
    int pulses;
    int rounds;
    double target;
};

std::string screen_name = "?";
bool failed = false;
PgServer* server = nullptr;

// The history as the station starts it: off, or on with the plant server set; and the same with
// access control on, an operator logged in.
struct History {
    const char* name;
    bool on;
    bool access = false;
};
constexpr History HISTORIES[] = {{"history off", false},
                                 {"history and server", true},
                                 {"history, server and access control", true, true}};

// Access control turned on through "station.ini", as a plant does, and an operator logged in.
void LogIn() {
    std::string problem;
    access_control::AddUser("bench", access_control::Role::OPERATOR, "pw-bench", "", &problem);
    std::ofstream("station.ini") << "[access]\nenabled=true\n";
    settings::CheckSettingsFile();
    const int login = access_control::LoginPanel();
    toolkit_testing::TypeText(login, LOGIN_NAME, "bench");
    toolkit_testing::TypeText(login, LOGIN_PASSWORD, "pw-bench");
    toolkit_testing::Commit(login, LOGIN_OK);
    if (trail::CurrentUser().name != "bench") {
        std::fprintf(stderr, "bench_inspection_window: the login failed\n");
        failed = true;
    }
}

void StartHistory(const History& history) {
    history::Stop();
    if (history.on) {
        unsetenv("SURGE_HISTORY");
        server->PointStationHere();
    } else {
        setenv("SURGE_HISTORY", "off", 1);
        unsetenv("SURGE_HISTORY_DB");
    }
    Start_history();
    if (history.access) {
        LogIn();
    }
}

// When the graph and the busy lamp were painted, in ms on the station's clock.
class PaintWatch : public QObject {
  public:
    std::vector<double> graph;
    std::vector<double> busy_lamp;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->isWidgetType()) {
            const auto* widget = static_cast<QWidget*>(object);
            const QWidget* parent = widget->parentWidget();
            if (widget->objectName() == "MAIN_GRAPH" ||
                (parent != nullptr && parent->objectName() == "MAIN_GRAPH")) {
                graph.push_back(NowMs());
            } else if (widget->objectName() == "MAIN_BUSY_LED") {
                busy_lamp.push_back(NowMs());
            }
        }
        return false;
    }

  public:
    static double NowMs() {
        return std::chrono::duration<double, std::milli>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

PaintWatch* paints = nullptr;

// The first moment in `times` after `after`, less `after`; -1 when there is none before `before`.
double FirstAfter(const std::vector<double>& times, double after, double before) {
    for (const double t : times) {
        if (t >= after && t < before) {
            return t - after;
        }
    }
    return -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The moments of every complete cycle in the log, in ms.
std::vector<std::vector<double>> Cycles(const std::string& log) {
    std::vector<std::pair<double, std::string>> events;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        double seconds = 0;
        std::string kind;
        std::string what;
        if (fields >> seconds >> kind && (kind == "RX" || kind == "TX")) {
            fields >> what;
            events.emplace_back(seconds * 1000.0, kind + " " + what);
        }
    }
    std::vector<std::vector<double>> cycles;
    for (std::size_t i = 0; i + MOMENTS <= events.size(); ++i) {
        std::vector<double> moments;
        for (int k = 0; k < MOMENTS; ++k) {
            const std::string expected =
                k % 2 == 0 ? std::string("RX ") + COMMANDS[k / 2] + "\\r" : std::string("TX");
            if (events[i + k].second.rfind(expected, 0) != 0) {
                break;
            }
            moments.push_back(events[i + k].first);
        }
        if (moments.size() == MOMENTS) {
            cycles.push_back(moments);
            i += MOMENTS - 1;
        }
    }
    return cycles;
}

// The median cycle, in ms; 0 when it could not be measured.
double Measure(const Run& run, const History& history) {
    char setup[16];
    std::snprintf(setup, sizeof setup, "034505%02d07", run.pulses);
    Close_com_port();
    std::optional<SimProcess> sim;
    sim.emplace(std::vector<std::string>{"--pace", "--setup", setup});
    Init_com_port();
    std::vector<double> pressed;
    paints->graph.clear();
    paints->busy_lamp.clear();
    for (int round = 0; round <= run.rounds; ++round) {  // round 0 warms up
        Show_model("BENCH");
        pressed.push_back(PaintWatch::NowMs());
        toolkit_testing::Commit(mainHandle, MAIN_CMD_30);
        int ok = 0;
        int ng = 0;
        GetCtrlAttribute(mainHandle, MAIN_OK_LED, ATTR_VISIBLE, &ok);
        GetCtrlAttribute(mainHandle, MAIN_NG_LED, ATTR_VISIBLE, &ng);
        if (ok + ng != 1) {
            std::fprintf(stderr, "bench_inspection_window: a cycle gave no verdict\n");
            for (const auto& popup : toolkit_testing::ShownPopups()) {
                std::fprintf(stderr, "  popup %s: %s\n", popup.title.c_str(), popup.text.c_str());
            }
            failed = true;
            return 0;
        }
        // The operator's pause between units: the window finishes drawing the verdict.
        Delay(0.05);
    }
    const std::string log = sim->Log();
    sim.reset();
    std::vector<std::vector<double>> cycles = Cycles(log);
    if (cycles.size() != static_cast<std::size_t>(run.rounds + 1)) {
        std::fprintf(stderr, "bench_inspection_window: %zu cycles in the simulator's log\n",
                     cycles.size());
        failed = true;
        return 0;
    }
    // The window draws as the replies arrive: the busy lamp during the setup exchange, each wave
    // while the next reply is on the line. The station's clock meets the simulator's at the
    // arrival of "ME\r", a moment after the press.
    std::vector<double> lamp_ms;
    std::vector<double> blue_ms;
    std::vector<double> red_ms;
    for (int round = 1; round <= run.rounds; ++round) {
        const std::vector<double>& m = cycles[round];
        const double offset = pressed[round] - m[0];
        const double next = round < run.rounds ? pressed[round + 1] : 1e300;
        lamp_ms.push_back(FirstAfter(paints->busy_lamp, pressed[round], next));
        blue_ms.push_back(FirstAfter(paints->graph, m[5] + offset, next));
        red_ms.push_back(FirstAfter(paints->graph, m[7] + offset, next));
    }
    cycles.erase(cycles.begin());
    std::vector<double> cycle_ms;
    std::vector<std::vector<double>> gaps(MOMENTS - 1);
    for (const auto& m : cycles) {
        cycle_ms.push_back(m[8] - m[0]);
        for (int k = 0; k + 1 < MOMENTS; ++k) {
            gaps[k].push_back(m[k + 1] - m[k]);
        }
    }
    const double median = Median(cycle_ms);
    const double wait_ms = 1000.0 * (run.pulses * 0.05 + 0.1);
    const double floor_ms = wait_ms + LINE_BYTES * BYTE_MS;
    std::printf(
        "inspection cycle in a real window %s, %2d pulses, %s: %.2f ms (median of %d, ME to "
        "RE on the wire); floor %.2f ms; ratio %.3f\n",
        screen_name.c_str(), run.pulses, history.name, median, run.rounds, floor_ms,
        median / floor_ms);
    // Each gap's median: the simulator's own share (a reply on the line) and the station's
    // (from a reply's last byte to the next command).
    std::printf(
        "  gaps (median ms): ME>reply %.2f, reply>ST %.2f, ST>WT %.2f, WT>reply %.2f, "
        "reply>WS %.2f, WS>reply %.2f, reply>RE %.2f\n",
        Median(gaps[0]), Median(gaps[1]), Median(gaps[2]) + Median(gaps[3]), Median(gaps[4]),
        Median(gaps[5]), Median(gaps[6]), Median(gaps[7]));
    std::printf(
        "  painted (median ms): busy lamp %.2f after the press; the graph %.2f after the "
        "test wave's last byte, %.2f after the standard wave's\n",
        Median(lamp_ms), Median(blue_ms), Median(red_ms));
    char figure[128];
    std::snprintf(figure, sizeof figure, "inspection cycle, %d pulses, window %s, %s", run.pulses,
                  screen_name.c_str(), history.name);
    ReportFigure(figure, median, "ms", "wait + line time", floor_ms, run.target);
    return median;
}

// Runs from the event loop, as the operator's presses do.
void RunAll() {
    for (const Run& run : {Run{0, 30, 1.04}, Run{20, 7, 1.01}}) {
        double medians[3] = {0, 0, 0};
        for (int h = 0; h < 3; ++h) {
            StartHistory(HISTORIES[h]);
            medians[h] = Measure(run, HISTORIES[h]);
        }
        std::remove("station.ini");
        settings::CheckSettingsFile();
        char figure[128];
        std::snprintf(figure, sizeof figure,
                      "inspection cycle, %d pulses, window %s, history and server against off",
                      run.pulses, screen_name.c_str());
        // Within 0.01 of the ratio to the floor with the history off.
        const double floor_ms = 1000.0 * (run.pulses * 0.05 + 0.1) + LINE_BYTES * BYTE_MS;
        ReportFigure(figure, medians[1], "ms", "history off", medians[0],
                     1.0 + 0.01 * floor_ms / std::max(medians[0], 1.0));
        std::snprintf(figure, sizeof figure,
                      "inspection cycle, %d pulses, window %s, access control on against off",
                      run.pulses, screen_name.c_str());
        ReportFigure(figure, medians[2], "ms", "access control off", medians[1],
                     1.0 + 0.01 * floor_ms / std::max(medians[1], 1.0));
    }
    Quit(mainHandle, MAIN_CMD_28, EVENT_COMMIT, nullptr, 0, 0);
}

void MainPanelUp(void*) {
    paints = new PaintWatch;
    QApplication::instance()->installEventFilter(paints);
    // The window manager maps and exposes the panel first.
    QTimer::singleShot(500, RunAll);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        screen_name = argv[1];
    }
    setenv("QT_QPA_PLATFORM", "xcb", 0);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("surge-window-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(SURGE_UIR_PATH, dir / "surge.uir",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::current_path(dir);
    if (InitRuntimeEngine(1, argv) == 0) {
        return 1;
    }
    toolkit_testing::ScriptPopups(true);
    PgServer plant;
    if (!plant.WhyNot().empty()) {
        std::fprintf(stderr, "bench_inspection_window: no server: %s\n", plant.WhyNot().c_str());
        return 1;
    }
    server = &plant;
    PostDeferredCall(MainPanelUp, nullptr);
    const int code = surge_main(1, argv);
    CloseRuntimeEngine();
    std::filesystem::remove_all(dir);
    return code != 0 || failed ? 1 : 0;
}
