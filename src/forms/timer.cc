#include "forms/timer.h"

#include <utility>

namespace qm {

Timer::Timer(EventLoop& loop, std::function<void()> onTick) : peer_(loop.CreateTimer(std::move(onTick))) {}

Timer::~Timer() = default;

void Timer::SetInterval(int intervalMs) {
    interval_ = intervalMs < 0 ? 0 : intervalMs;
    Apply(/*restart=*/true);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    Apply(/*restart=*/false);
}

void Timer::Kill() {
    killed_ = true;
    Apply(/*restart=*/false);
}

void Timer::Apply(bool restart) {
    const bool shouldRun = !killed_ && enabled_ && interval_ > 0;
    if (shouldRun && (!running_ || restart)) {
        peer_->Start(interval_);
    } else if (!shouldRun && running_) {
        peer_->Stop();
    }
    running_ = shouldRun;
}

}  // namespace qm
