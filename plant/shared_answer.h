// One answer shared by every page that asks for it until the next record arrives or two seconds
// pass (a shift's counts follow the clock too): a record told to fifty open pages makes one read
// of the server, not fifty. A page that asks during a read waits for it and takes its answer.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "plant/live.h"

namespace plant {

class SharedAnswer {
  public:
    explicit SharedAnswer(Arrivals* arrivals) : arrivals_(arrivals) {}
    // The answer kept, or `read`'s when none is fresh; false when `read` failed (nothing is kept
    // then, and the next page reads again).
    bool Get(const std::function<bool(std::string*)>& read, std::string* answer);

  private:
    Arrivals* arrivals_;
    std::mutex mutex_;
    bool kept_ = false;
    std::uint64_t arrivals_seen_ = 0;
    std::chrono::steady_clock::time_point read_at_;
    std::string answer_;
};

}  // namespace plant
