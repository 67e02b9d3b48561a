#include "platform/sim/sim_event_loop.h"

#include <algorithm>

namespace qm::sim {

class SimEventLoop::Timer final : public PlatformTimer {
  public:
    Timer(SimEventLoop& loop, std::shared_ptr<Entry> entry) : loop_(loop), entry_(std::move(entry)) {}
    ~Timer() override { Stop(); }

    void Start(int intervalMs) override {
        entry_->interval = intervalMs > 0 ? intervalMs : 1;
        loop_.Schedule(entry_, loop_.elapsed_ + entry_->interval);
    }
    void Stop() override { entry_->active = false; }

  private:
    SimEventLoop& loop_;
    std::shared_ptr<Entry> entry_;
};

SimEventLoop::SimEventLoop(Tick startTick) : startTick_(startTick) {}

SimEventLoop::~SimEventLoop() = default;

Tick SimEventLoop::GetTickCount() {
    return static_cast<Tick>(static_cast<std::uint32_t>(startTick_) + static_cast<std::uint32_t>(elapsed_));
}

std::unique_ptr<PlatformTimer> SimEventLoop::CreateTimer(std::function<void()> onTick) {
    auto entry = std::make_shared<Entry>();
    entry->fn = std::move(onTick);
    return std::make_unique<Timer>(*this, std::move(entry));
}

void SimEventLoop::DoEvents() {
    ++doEventsCount_;
    if (doEventsHook_) {
        // The hook may replace itself; keep the running one alive.
        const auto hook = doEventsHook_;
        hook();
    }
    RunUntil(elapsed_);
}

void SimEventLoop::Sleep(int ms) {
    sleeps_.push_back(ms);
    if (ms <= 0) {
        return;
    }
    elapsed_ += ms;
    // The thread was blocked: a periodic timer that fell due meanwhile ticks once when events flow
    // again, as the window system merges the ticks it could not deliver.
    for (const auto& entry : entries_) {
        if (entry->active && entry->interval > 0 && entry->due < elapsed_) {
            entry->due += (elapsed_ - entry->due) / entry->interval * entry->interval;
        }
    }
}

void SimEventLoop::Advance(std::int64_t ms) {
    const std::int64_t target = elapsed_ + (ms > 0 ? ms : 0);
    RunUntil(target);
    if (elapsed_ < target) {
        elapsed_ = target;
    }
}

void SimEventLoop::RunDue() {
    RunUntil(elapsed_);
}

void SimEventLoop::Post(std::function<void()> task, std::int64_t delayMs) {
    auto entry = std::make_shared<Entry>();
    entry->fn = std::move(task);
    Schedule(entry, elapsed_ + (delayMs > 0 ? delayMs : 0));
}

int SimEventLoop::RunningTimerCount() const {
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                          [](const auto& e) { return e->active && e->interval > 0; }));
}

void SimEventLoop::Schedule(const std::shared_ptr<Entry>& entry, std::int64_t due) {
    entry->due = due;
    entry->seq = nextSeq_++;
    if (!entry->active) {
        entry->active = true;
        if (std::find(entries_.begin(), entries_.end(), entry) == entries_.end()) {
            entries_.push_back(entry);
        }
    }
}

void SimEventLoop::RunUntil(std::int64_t target) {
    while (!stopped_) {
        std::erase_if(entries_, [](const auto& e) { return !e->active; });
        std::shared_ptr<Entry> next;
        for (const auto& entry : entries_) {
            if (entry->due <= target &&
                (!next || entry->due < next->due || (entry->due == next->due && entry->seq < next->seq))) {
                next = entry;
            }
        }
        if (!next) {
            return;
        }
        if (next->due > elapsed_) {
            elapsed_ = next->due;
        }
        if (next->interval > 0) {
            next->due += next->interval;
            next->seq = nextSeq_++;
        } else {
            next->active = false;
        }
        // The entry (and its function) stays alive for the call even if the timer is destroyed inside it.
        const std::shared_ptr<Entry> keep = next;
        keep->fn();
    }
}

}  // namespace qm::sim
