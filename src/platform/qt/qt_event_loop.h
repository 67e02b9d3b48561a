#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "base/event_loop.h"
#include "base/task_poster.h"

class QObject;
class QSocketNotifier;

namespace qm::qt {

// SIGINT and SIGTERM as an event of the loop instead of an end in the middle of a handler. Create it
// before the QApplication and before any other thread starts, so that every thread inherits the blocked
// signals and only the loop reads them. Undoes the mask when destroyed.
class StopSignals {
  public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    // The descriptor that becomes readable when a stop signal arrives (-1 when signalfd failed).
    int Fd() const { return fd_; }

  private:
    int fd_ = -1;
    bool masked_ = false;
};

// The program's event loop on Qt: timers are precise QTimers (one-second countdowns must not drift),
// DoEvents is processEvents, and posted tasks arrive as queued calls on a context object of the loop.
// A QApplication (or QCoreApplication) must exist on the calling thread for as long as the loop does.
// Handlers must not throw: an exception that leaves one is reported on stderr and dropped. A timer's
// handler is never entered a second time while it runs (DoEvents inside it skips its own tick).
class QtEventLoop final : public EventLoop, public TaskPoster {
  public:
    QtEventLoop();
    ~QtEventLoop() override;

    // EventLoop:
    Tick GetTickCount() override;
    std::unique_ptr<PlatformTimer> CreateTimer(std::function<void()> onTick) override;
    void DoEvents() override;
    void Sleep(int ms) override;
    bool Ending() const override { return QuitRequested(); }

    // TaskPoster: thread-safe; tasks still queued when the loop is destroyed are dropped.
    void PostTask(std::function<void()> task) override;

    // Runs the application's event loop until Quit. Returns at once if Quit came before.
    void Run();
    // Ends Run and every nested loop (modal windows) at their next turn. Thread-safe.
    void Quit();
    bool QuitRequested() const { return quit_.load(); }
    // Makes a stop signal (see StopSignals) end the loop as Quit does. `stopSignals` must outlive the loop.
    void QuitOn(const StopSignals& stopSignals);

    // Milliseconds of CLOCK_MONOTONIC.
    static std::int64_t NowMs();

  private:
    class Timer;
    void RunPosted();

    std::unique_ptr<QObject> context_;
    std::unique_ptr<QSocketNotifier> signalNotifier_;
    int signalFd_ = -1;
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    bool wakePending_ = false;
    bool closed_ = false;
    std::atomic<bool> quit_{false};
};

}  // namespace qm::qt
