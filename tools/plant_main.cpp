// surge-plant: the plant view's web service.
//   surge-plant [--config PATH]
// PATH is "/etc/surge/plant.ini" unless named (plant/plant_settings.h says what it holds). Runs
// until SIGTERM or SIGINT. Exit codes: 0 stopped, 2 the settings or the port cannot be used,
// 3 the command line.
#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include <QCoreApplication>

#include "plant/plant_settings.h"
#include "plant/service.h"

int main(int argc, char** argv) {
    // Each of the service's threads would otherwise keep a heap of its own (up to eight a core),
    // each holding what its largest answer freed: a week's chart as CSV on many threads in turn
    // held 450 MB. Two heaps shared by all keep the peak to what the answers need at once.
    mallopt(M_ARENA_MAX, 2);
    std::string path = plant::DEFAULT_SETTINGS_PATH;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--config" && i + 1 < argc) {
            path = argv[++i];
        } else {
            std::fputs("usage: surge-plant [--config PATH]\n", stderr);
            return 3;
        }
    }
    // The stop signals are waited for on a thread of their own, blocked on every other.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    QCoreApplication application(argc, argv);
    std::string problem;
    const std::optional<plant::Settings> settings = plant::ReadSettings(path, &problem);
    if (!settings) {
        std::fprintf(stderr, "surge-plant: %s\n", problem.c_str());
        return 2;
    }
    plant::Service service(*settings);
    if (!service.Bind(&problem)) {
        std::fprintf(stderr, "surge-plant: %s\n", problem.c_str());
        return 2;
    }
    std::printf("surge-plant: listening on %s:%d\n", settings->listen_address.c_str(),
                service.Port());
    std::fflush(stdout);
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stop_signals, &signal);
        service.Stop();
    });
    service.Run();
    kill(getpid(), SIGTERM);  // ends the waiter when the service stopped of itself
    waiter.join();
    return 0;
}
