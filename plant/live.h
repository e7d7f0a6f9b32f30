// The live pages: a thread that LISTENs on the server for records as they arrive, and the
// Server-Sent Events (GET /api/events) that tell each open page, which then reads its figures
// again.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "plant/plant_settings.h"

namespace plant {

// What arrived, told to every page that waits.
class Arrivals {
  public:
    void Tell(const std::string& station);
    // How many were told so far: where a new page starts waiting.
    std::uint64_t Count();
    // Waits for an arrival after the `*seen`th, or `timeout`: true with the newest's station and
    // `*seen` moved on; false at the timeout, or at once after Stop().
    bool Wait(std::uint64_t* seen, std::string* station, std::chrono::seconds timeout);
    void Stop();
    bool Stopped();

  private:
    std::mutex mutex_;
    std::condition_variable told_;
    std::uint64_t count_ = 0;
    std::string station_;
    bool stopped_ = false;
};

// The listening thread, from Start() to Stop(); a connection lost is opened again.
class Listener {
  public:
    Listener(const Settings& settings, Arrivals* arrivals);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    void Start();
    void Stop();

  private:
    struct Thread;
    std::unique_ptr<Thread> thread_;
};

// GET /api/events: "event: record" with {"station": ...} at each arrival, a comment line every
// 15 s between, until the page goes or the service stops.
void AddEvents(httplib::Server& server, Arrivals* arrivals);

}  // namespace plant
