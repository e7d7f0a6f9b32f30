// Start-up of the installed station against the built one's, in one run: each start is a fresh
// process of the program (the installed one reads the installed panel resource, the built one
// the copy in its folder), timed from its spawn to the X server's map of the main panel. The
// two programs take turns, each first in every other round, so that neither gains by its place.
// Needs a display (scripts/bench gives it a virtual one).
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/report.h"
#include "tests/support/sim_process.h"

namespace fs = std::filesystem;

namespace {

constexpr int RUNS = 21;
constexpr double TARGET_RATIO = 1.10;
constexpr const char* MAIN_TITLE = "임펄스 권선 시험기 - 검사";
constexpr int WAIT_MS = 20000;

class Display {
  public:
    Display() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_)) {
            return;
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_NAME";
        auto* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
        if (reply != nullptr) {
            net_wm_name_ = reply->atom;
            std::free(reply);
        }
        xcb_flush(connection_);
        ok_ = true;
    }
    ~Display() { xcb_disconnect(connection_); }
    bool Ok() const { return ok_; }

    // Drops the events of earlier starts.
    void Drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            std::free(event);
        }
    }

    // Waits for a window titled `title` to be mapped; false after `timeout_ms`.
    bool WaitForMap(const char* title, int timeout_ms) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (std::chrono::steady_clock::now() < deadline) {
            xcb_generic_event_t* event = xcb_poll_for_event(connection_);
            if (event == nullptr) {
                pollfd entry{xcb_get_file_descriptor(connection_), POLLIN, 0};
                poll(&entry, 1, 100);
                continue;
            }
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            std::free(event);
            if (mapped && Title(window) == title) {
                return true;
            }
        }
        return false;
    }

  private:
    std::string Title(xcb_window_t window) {
        auto* reply = xcb_get_property_reply(connection_,
                                             xcb_get_property(connection_, 0, window, net_wm_name_,
                                                              XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                             nullptr);
        if (reply == nullptr) {
            return "";
        }
        const std::string title(static_cast<const char*>(xcb_get_property_value(reply)),
                                xcb_get_property_value_length(reply));
        std::free(reply);
        return title;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    xcb_atom_t net_wm_name_ = XCB_ATOM_WM_NAME;
    bool ok_ = false;
};

// Milliseconds from the spawn of `program` in `folder` to its main panel mapped; -1 if it never
// was.
double OneStart(Display& display, const std::string& program, const std::string& folder) {
    display.Drain();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        if (chdir(folder.c_str()) == 0) {
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    const bool mapped = pid > 0 && display.WaitForMap(MAIN_TITLE, WAIT_MS);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return mapped ? ms : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string installed = argc > 1 ? argv[1] : "/usr/bin/surge";
    Display display;
    if (!display.Ok()) {
        std::fprintf(stderr, "bench_startup_installed: no X display\n");
        return 1;
    }
    const fs::path base = fs::temp_directory_path() / "surge-startup-installed";
    fs::remove_all(base);
    const std::string built_folder = base / "built";
    const std::string installed_folder = base / "installed";
    fs::create_directories(built_folder);
    fs::create_directories(installed_folder);
    fs::copy_file(SURGE_UIR_PATH, built_folder + "/surge.uir");

    SimProcess sim;
    std::vector<double> built_ms;
    std::vector<double> installed_ms;
    // The first round warms the caches and is not counted.
    for (int run = 0; run <= RUNS; ++run) {
        double b = 0;
        double i = 0;
        if (run % 2 == 0) {
            b = OneStart(display, SURGE_STATION_PATH, built_folder);
            i = OneStart(display, installed, installed_folder);
        } else {
            i = OneStart(display, installed, installed_folder);
            b = OneStart(display, SURGE_STATION_PATH, built_folder);
        }
        if (b < 0 || i < 0) {
            std::fprintf(stderr, "bench_startup_installed: a station did not show its panel\n");
            return 1;
        }
        if (run > 0) {
            built_ms.push_back(b);
            installed_ms.push_back(i);
        }
    }
    fs::remove_all(base);
    const double b = Median(built_ms);
    const double i = Median(installed_ms);
    std::printf(
        "start-up to the main panel mapped: built %.1f ms, installed %.1f ms (medians of %d)\n", b,
        i, RUNS);
    ReportFigure("start-up to the main panel mapped, built station", b, "ms", "", 0, 0);
    ReportFigure("start-up to the main panel mapped, installed station", i, "ms", "built station",
                 b, TARGET_RATIO);
    return 0;
}
