#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/event_loop.h"

namespace qm::sim {

// A deterministic event loop on a virtual clock. Nothing happens until a test advances the clock: then
// every timer tick and posted task fires at its own moment, in order of time and, at the same moment,
// in the order it was scheduled. DoEvents delivers what is due at the current moment without moving
// the clock.
class SimEventLoop final : public EventLoop {
  public:
    // `startTick` is the tick counter's value at virtual time zero (tests start near the wrap with it).
    explicit SimEventLoop(Tick startTick = 100000);
    ~SimEventLoop() override;

    // EventLoop:
    Tick GetTickCount() override;
    std::unique_ptr<PlatformTimer> CreateTimer(std::function<void()> onTick) override;
    void DoEvents() override;
    // Moves the clock forward by `ms` without delivering anything, and records the wait.
    void Sleep(int ms) override;
    bool Ending() const override { return ending_; }

    // Control side.
    // Moves the clock forward by `ms`, delivering everything that falls due on the way.
    void Advance(std::int64_t ms);
    // Delivers what is due now.
    void RunDue();
    // Schedules `task` to run `delayMs` from now, as an event of the loop.
    void Post(std::function<void()> task, std::int64_t delayMs = 0);
    // Runs `hook` at the start of every DoEvents call (a test's way to act while the program yields).
    void SetDoEventsHook(std::function<void()> hook) { doEventsHook_ = std::move(hook); }
    int DoEventsCount() const { return doEventsCount_; }
    // Ends delivery for good: nothing fires again (the process has ended).
    void Stop() {
        stopped_ = true;
        ending_ = true;
    }
    // The program is told to end (a stop signal) while events still run: Ending() answers true from now.
    void BeginEnding() { ending_ = true; }
    bool Stopped() const { return stopped_; }
    std::int64_t Elapsed() const { return elapsed_; }
    // Every Sleep so far, in milliseconds, in order.
    const std::vector<int>& Sleeps() const { return sleeps_; }
    // Timers that are running now.
    int RunningTimerCount() const;

  private:
    struct Entry {
        std::function<void()> fn;
        std::int64_t due = 0;
        std::int64_t interval = 0;  // 0: a one-time task
        std::uint64_t seq = 0;
        bool active = false;
    };
    class Timer;

    void Schedule(const std::shared_ptr<Entry>& entry, std::int64_t due);
    void RunUntil(std::int64_t target);

    Tick startTick_;
    std::int64_t elapsed_ = 0;
    std::uint64_t nextSeq_ = 0;
    std::vector<std::shared_ptr<Entry>> entries_;
    std::function<void()> doEventsHook_;
    int doEventsCount_ = 0;
    std::vector<int> sleeps_;
    bool stopped_ = false;
    bool ending_ = false;
};

}  // namespace qm::sim
