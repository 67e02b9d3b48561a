#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "base/event_loop.h"
#include "base/task_poster.h"
#include "platform/posix/unique_fd.h"

namespace qm::posix {

// The program's event loop on Linux: one thread, poll(), timers on CLOCK_MONOTONIC. Tasks may be posted
// from any thread (PostTask); everything else belongs to the thread that runs the loop. Timers, posted
// tasks and readable descriptors are delivered one at a time; a handler may call DoEvents, which
// delivers what is pending without waiting (a timer whose handler is still running is not entered a
// second time). Handlers must not throw: an exception that leaves one is reported on stderr and dropped,
// so that one bad event cannot end the program.
class PollEventLoop final : public EventLoop, public TaskPoster {
  public:
    PollEventLoop();
    ~PollEventLoop() override;

    // EventLoop:
    Tick GetTickCount() override;
    std::unique_ptr<PlatformTimer> CreateTimer(std::function<void()> onTick) override;
    void DoEvents() override;
    void Sleep(int ms) override;
    bool Ending() const override { return QuitRequested(); }

    // TaskPoster: thread-safe.
    void PostTask(std::function<void()> task) override;

    // Calls `onReadable` on the loop's thread whenever `fd` has data (or has hung up) until the returned
    // watch is destroyed. The caller keeps the descriptor open for that long.
    class FdWatch {
      public:
        virtual ~FdWatch() = default;
    };
    std::unique_ptr<FdWatch> WatchReadable(int fd, std::function<void()> onReadable);

    // Runs until Quit is called. Returns at once if Quit came before.
    void Run();
    // Runs until `done` answers true or `timeoutMs` has passed; returns the last answer of `done`. Tests
    // and the entry point use it to wait for something while events keep flowing.
    bool RunUntil(const std::function<bool()>& done, std::int64_t timeoutMs);
    // Ends Run at its next turn. Thread-safe.
    void Quit();
    bool QuitRequested() const;

    // Milliseconds of CLOCK_MONOTONIC.
    static std::int64_t NowMs();

  private:
    struct TimerEntry;
    struct FdEntry;
    class Timer;
    class Watch;

    // One turn: waits at most `waitMs` (0: not at all, -1: until something happens) for a descriptor or
    // a posted task, then delivers the posted tasks, the due timers and the readable descriptors.
    void Turn(int waitMs);
    void RunPosted();
    void RunDueTimers();
    int MsUntilNextTimer() const;

    UniqueFd wakeFd_;  // an eventfd that PostTask writes to
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    bool quit_ = false;

    std::vector<std::shared_ptr<TimerEntry>> timers_;
    std::vector<std::shared_ptr<FdEntry>> fds_;
    std::uint64_t nextSeq_ = 0;
};

}  // namespace qm::posix
