// What could not be written at once, kept in memory in order and written later a chunk at a
// time, off the hot path (a posted step, never the cycle itself).
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

template <typename T>
class Backlog {
  public:
    explicit Backlog(std::size_t most) : most_(most) {}

    // Keeps `item` last; false when the bound made the oldest go (counted in Lost()).
    bool KeepLast(const T& item) {
        const bool room = items_.size() < most_;
        if (!room) {
            items_.pop_front();
            ++lost_;
        }
        items_.push_back(item);
        return room;
    }
    // Hands the oldest, up to `chunk`, to `write`; they leave when it returns true.
    template <typename Write>
    bool WriteChunk(std::size_t chunk, Write&& write) {
        const auto end =
            items_.begin() + static_cast<std::ptrdiff_t>(std::min(chunk, items_.size()));
        if (!write(std::vector<T>(items_.begin(), end))) {
            return false;
        }
        items_.erase(items_.begin(), end);
        return true;
    }
    // Chunk after chunk while `ready` and each write takes its chunk; true once empty.
    template <typename Ready, typename Write>
    bool WriteAll(std::size_t chunk, Ready&& ready, Write&& write) {
        while (!Empty() && ready() && WriteChunk(chunk, write)) {
        }
        return Empty();
    }

    const std::deque<T>& Items() const { return items_; }
    std::size_t Size() const { return items_.size(); }
    bool Empty() const { return Size() == 0; }
    long long Lost() const { return lost_; }
    // The loss told: counting begins anew.
    long long TakeLost() { return std::exchange(lost_, 0); }

  private:
    std::size_t most_;
    std::deque<T> items_;
    long long lost_ = 0;
};

// The drain's step, posted once: Post() is true when the caller is to post it now (none is
// posted yet); the step calls Taken() as it begins, so that what it leaves can be posted again.
class PostedStep {
  public:
    bool Post() { return !std::exchange(posted_, true); }
    void Taken() { posted_ = false; }

  private:
    bool posted_ = false;
};
