#include "plant/read_aside.h"

#include <QThreadPool>

namespace plant {

namespace {

// Four threads, each keeping its connection for the service's life: enough for the reads aside
// of the pages asked at once, few beside the request threads' own connections.
constexpr int ASIDE_THREADS = 4;

QThreadPool& Pool() {
    static QThreadPool* const pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(ASIDE_THREADS);
        made->setExpiryTimeout(-1);
        return made;
    }();
    return *pool;
}

}  // namespace

void RunAside(std::function<void()> task) {
    Pool().start(std::move(task));
}

}  // namespace plant
