#pragma once

#include <functional>
#include <memory>

#include "base/event_loop.h"

namespace qm {

// A timer control: it ticks every `Interval` milliseconds while it is `Enabled`, its interval is above
// zero and its window is loaded. Enabling a timer that is already enabled changes nothing (so a 1 ms
// one-shot timer enabled twice before it fires still fires once); setting the interval of a running
// timer restarts its period. Its window creates it (Form::NewTimer) and stops it for good on unload.
class Timer {
  public:
    Timer(EventLoop& loop, std::function<void()> onTick);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    int Interval() const { return interval_; }
    void SetInterval(int intervalMs);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    // Stops the timer for good: it never ticks again, whatever is set afterwards.
    void Kill();

  private:
    void Apply(bool restart);

    std::unique_ptr<PlatformTimer> peer_;
    int interval_ = 0;
    bool enabled_ = false;
    bool running_ = false;
    bool killed_ = false;
};

}  // namespace qm
