#include "plant/service.h"

#include <httplib.h>

#include "plant/live.h"
#include "plant/routes.h"

namespace plant {

struct Service::Parts {
    Settings settings;
    std::unique_ptr<httplib::Server> server;
    int port = 0;
    Arrivals arrivals;
    std::unique_ptr<Listener> listener;
};

namespace {

// A page held open by Server-Sent Events keeps its thread, so the pool is larger than the cores.
constexpr size_t THREADS = 64;

std::unique_ptr<httplib::Server> MakeServer(const Settings& settings) {
    if (settings.tls_certificate.empty()) {
        return std::make_unique<httplib::Server>();
    }
    return std::make_unique<httplib::SSLServer>(settings.tls_certificate.c_str(),
                                                settings.tls_key.c_str());
}

}  // namespace

Service::Service(const Settings& settings) : parts_(std::make_unique<Parts>()) {
    parts_->settings = settings;
    parts_->server = MakeServer(parts_->settings);
    parts_->server->new_task_queue = [] { return new httplib::ThreadPool(THREADS); };
    AddRoutes(*parts_->server, parts_->settings, &parts_->arrivals);
    AddEvents(*parts_->server, &parts_->arrivals);
    parts_->listener = std::make_unique<Listener>(parts_->settings, &parts_->arrivals);
}

Service::~Service() = default;

bool Service::Bind(std::string* problem) {
    if (!parts_->server->is_valid()) {
        *problem = "cannot use the certificate " + parts_->settings.tls_certificate +
                   " with the key " + parts_->settings.tls_key;
        return false;
    }
    const std::string& address = parts_->settings.listen_address;
    if (parts_->settings.listen_port == 0) {
        parts_->port = parts_->server->bind_to_any_port(address);
    } else if (parts_->server->bind_to_port(address, parts_->settings.listen_port)) {
        parts_->port = parts_->settings.listen_port;
    }
    if (parts_->port <= 0) {
        *problem =
            "cannot listen on " + address + ":" + std::to_string(parts_->settings.listen_port);
        return false;
    }
    return true;
}

int Service::Port() const {
    return parts_->port;
}

void Service::Run() {
    parts_->listener->Start();
    parts_->server->listen_after_bind();
}

// The open event streams end first, so that the server's threads can.
void Service::Stop() {
    parts_->arrivals.Stop();
    parts_->server->stop();
    parts_->listener->Stop();
}

}  // namespace plant
