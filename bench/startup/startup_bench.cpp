// Start-up of the whole station, from the process's birth (libraries loaded, engine up, panels
// loaded, port opened) to the main panel shown with its event loop running, and the resident
// memory at that moment. Each run is a fresh process, as an operator's start is.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/surge.h"
#include "bench/report.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "tests/support/sim_process.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

constexpr int RUNS = 7;
constexpr double TARGET_SECONDS = 0.5;
constexpr double TARGET_MEGABYTES = 80;

// Seconds since this process was born, from the kernel's record of its start.
double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::string after_name = text.substr(text.rfind(')') + 2);
    std::istringstream fields(after_name);
    std::string field;
    unsigned long long start_ticks = 0;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) {
            start_ticks = std::stoull(field);
        }
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec + now.tv_nsec / 1e9 - static_cast<double>(start_ticks) / sysconf(_SC_CLK_TCK);
}

double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atof(line.c_str() + 6) / 1024.0;
        }
    }
    return -1;
}

void MainPanelUp(void*) {
    std::printf("%.4f %.2f\n", SecondsSinceProcessStart(), ResidentMegabytes());
    std::fflush(stdout);
    Quit(mainHandle, MAIN_CMD_28, EVENT_COMMIT, nullptr, 0, 0);
}

int OneStart(int argc, char** argv) {
    if (InitRuntimeEngine(argc, argv) == 0) {
        return 1;
    }
    PostDeferredCall(MainPanelUp, nullptr);
    const int code = surge_main(argc, argv);
    CloseRuntimeEngine();
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--once") == 0) {
        return OneStart(1, argv);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string dir = std::filesystem::temp_directory_path() / "surge-startup-bench";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(SURGE_UIR_PATH, dir + "/surge.uir",
                               std::filesystem::copy_options::overwrite_existing);
    SimProcess sim;
    std::vector<double> seconds;
    std::vector<double> megabytes;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string command = "cd '" + dir + "' && '" + self + "' --once";
    for (int run = 0; run < RUNS; ++run) {
        FILE* child = popen(command.c_str(), "r");
        double s = -1;
        double mb = -1;
        if (child == nullptr || std::fscanf(child, "%lf %lf", &s, &mb) != 2) {
            std::fprintf(stderr, "bench_startup: the station did not come up\n");
            return 1;
        }
        pclose(child);
        seconds.push_back(s);
        megabytes.push_back(mb);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(megabytes.begin(), megabytes.end());
    const double s = seconds[RUNS / 2];
    const double mb = megabytes[RUNS / 2];
    std::printf("start-up to the main panel: %.0f ms (median of %d); resident memory %.1f MB\n",
                s * 1000, RUNS, mb);
    ReportFigure("start-up to the main panel", s * 1000, "ms", "target time", TARGET_SECONDS * 1000,
                 1.0);
    ReportFigure("resident memory, main panel up", mb, "MB", "target memory", TARGET_MEGABYTES,
                 1.0);
    return 0;
}
