// The plant view's HTTP service: its routes on cpp-httplib, over HTTPS where the settings name a
// certificate, each connection on a thread of the library's pool.
#pragma once

#include <memory>
#include <string>

#include "plant/plant_settings.h"

namespace plant {

class Service {
  public:
    explicit Service(const Settings& settings);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Binds the settings' address and port (port 0: a free one); false, with why, when it cannot.
    bool Bind(std::string* problem);
    int Port() const;
    // Answers on the calling thread until Stop().
    void Run();
    void Stop();

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace plant
