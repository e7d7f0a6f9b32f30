// A warning the operator hears once: the first Due() is true, every later one false, until Again()
// (the trouble went and may come back).
#pragma once

#include <utility>

class TellOnce {
  public:
    bool Due() { return !std::exchange(told_, true); }
    void Again() { told_ = false; }
    bool Told() const { return told_; }

  private:
    bool told_ = false;
};
