#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "base/event_loop.h"
#include "base/task_poster.h"
#include "platform/win32/win_handles.h"

namespace qm::win {

// The program's message loop on the user-interface thread. Timers are SetTimer timers of a hidden
// message-only window; DoEvents empties the thread's message queue; the system coalesces the ticks of
// a timer that fell due more than once, as the contract asks. Tasks posted from other threads run as a
// message of the same window, in the order they were posted.
class Win32EventLoop final : public EventLoop, public TaskPoster {
  public:
    Win32EventLoop();
    ~Win32EventLoop() override;

    Tick GetTickCount() override;
    std::unique_ptr<PlatformTimer> CreateTimer(std::function<void()> onTick) override;
    void DoEvents() override;
    void Sleep(int ms) override;
    bool Ending() const override { return stopped_; }

    // TaskPoster: thread-safe; one message wakes the loop for however many tasks are queued.
    void PostTask(std::function<void()> task) override;

    // Runs until Quit; returns the exit code of the quit message.
    int Run();
    // Ends Run (and any modal loop, which passes the quit on) and delivers nothing more.
    void Quit(int exitCode = 0);
    bool Stopped() const { return stopped_; }

    // Waits for one message and delivers it; false once the loop has been told to quit (the quit message is
    // put back for the outer loop).
    bool PumpOne();

    // Looks at each message before it is delivered; returning true swallows it. The window adapter uses
    // it for Enter and Esc.
    void SetPreTranslate(std::function<bool(MSG&)> filter) { preTranslate_ = std::move(filter); }

  private:
    friend class Win32Timer;
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Deliver(MSG& msg);
    UINT_PTR AddTimer(std::shared_ptr<std::function<void()>> onTick);
    void StartTimer(UINT_PTR id, int intervalMs);
    void StopTimer(UINT_PTR id);
    void RemoveTimer(UINT_PTR id);
    void RunPostedTasks();

    UniqueWindow window_;
    std::map<UINT_PTR, std::shared_ptr<std::function<void()>>> timers_;
    std::set<UINT_PTR> running_;
    UINT_PTR nextId_ = 1;
    bool stopped_ = false;
    std::function<bool(MSG&)> preTranslate_;

    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    // Whether a wake-up message is on its way (so that a burst of tasks posts one message, not one each).
    bool wakePosted_ = false;
};

}  // namespace qm::win
