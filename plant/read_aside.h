// A read made beside the request's own: on one of the service's threads kept for it, on that
// thread's connection to the server, so that a page's two longest reads take one's time.
#pragma once

#include <QSqlDatabase>
#include <functional>
#include <future>
#include <memory>
#include <optional>

#include "plant/connection.h"
#include "plant/plant_settings.h"

namespace plant {

// Runs `task` on a thread kept for reads aside, when one is free.
void RunAside(std::function<void()> task);

// `read`'s answer, made on a thread aside; nothing when the server cannot be read there.
// `settings` must outlive the read.
template <typename T>
std::future<std::optional<T>> ReadAside(const Settings& settings,
                                        std::function<std::optional<T>(QSqlDatabase&)> read) {
    auto answer = std::make_shared<std::promise<std::optional<T>>>();
    std::future<std::optional<T>> future = answer->get_future();
    RunAside([&settings, read = std::move(read), answer] {
        std::optional<QSqlDatabase> db = ThreadConnection(settings);
        std::optional<T> value = db ? read(*db) : std::nullopt;
        if (!value) {
            DropThreadConnection();
        }
        answer->set_value(std::move(value));
    });
    return future;
}

}  // namespace plant
