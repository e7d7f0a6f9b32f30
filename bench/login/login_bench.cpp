// The login as the operator gets it: the station started with access control on, the name and
// password typed and the login command given, timed to the main panel shown with every event
// the login posted handled (median of RUNS logins, each followed by a logout). Beside it, the
// Argon2id check alone (libsodium's interactive limits), which is most of it.
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "access/access_uir.h"
#include "access/login.h"
#include "access/password.h"
#include "access/users.h"
#include "app/surge.h"
#include "bench/report.h"
#include "state/surge_state.h"
#include "state/surge_uir.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"
#include "trail/audit_trail.h"

namespace {

constexpr int RUNS = 9;
constexpr double TARGET_MS = 1000.0;

double NowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

bool failed = false;

void RunAll() {
    namespace tt = toolkit_testing;
    std::vector<double> login_ms;
    for (int run = 0; run < RUNS && !failed; ++run) {
        const int login = access_control::LoginPanel();
        tt::TypeText(login, LOGIN_NAME, "operator");
        tt::TypeText(login, LOGIN_PASSWORD, "pw-operator");
        const double start = NowMs();
        tt::Commit(login, LOGIN_OK);
        QApplication::processEvents();
        login_ms.push_back(NowMs() - start);
        if (!tt::PanelIsVisible(mainHandle)) {
            char message[512] = "";
            GetCtrlVal(login, LOGIN_MESSAGE, message);
            std::fprintf(stderr, "bench_login: the login did not reach the main panel: %s\n",
                         message);
            for (const auto& popup : tt::ShownPopups()) {
                std::fprintf(stderr, "  popup %s: %s\n", popup.title.c_str(), popup.text.c_str());
            }
            failed = true;
        }
        tt::Commit(mainHandle, MAIN_LOGOUT);
        QApplication::processEvents();
    }
    const std::string hash = access_control::HashPassword("pw-operator");
    std::vector<double> check_ms;
    for (int run = 0; run < RUNS; ++run) {
        const double start = NowMs();
        access_control::PasswordMatches(hash, "pw-operator");
        check_ms.push_back(NowMs() - start);
    }
    ReportFigure("login to the main panel ready (Argon2id, interactive limits)", Median(login_ms),
                 "ms", "target time", TARGET_MS, 1.0);
    ReportFigure("the password's Argon2id check alone", Median(check_ms), "ms", "-", 0, 0);
    Quit(mainHandle, MAIN_CMD_28, EVENT_COMMIT, nullptr, 0, 0);
}

// Runs from the event loop, as the operator's presses do: not inside a deferred call, in which
// no command is given.
void LoginPanelUp(void*) {
    QTimer::singleShot(0, RunAll);
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("surge-login-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(SURGE_UIR_PATH, dir / "surge.uir",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::current_path(dir);
    std::ofstream("station.ini") << "[access]\nenabled=true\n";
    setenv("SURGE_COM1", (dir / "no-port").c_str(), 1);
    if (InitRuntimeEngine(argc, argv) == 0) {
        return 1;
    }
    toolkit_testing::ScriptPopups(true);
    std::string problem;
    trail::StartTrail(true);
    if (!access_control::AddUser("operator", access_control::Role::OPERATOR, "pw-operator", "",
                                 &problem)) {
        std::fprintf(stderr, "bench_login: %s\n", problem.c_str());
        return 1;
    }
    trail::StopTrail();
    PostDeferredCall(LoginPanelUp, nullptr);
    const int code = surge_main(argc, argv);
    CloseRuntimeEngine();
    std::filesystem::remove_all(dir);
    return code != 0 || failed ? 1 : 0;
}
