#pragma once

#include <functional>
#include <memory>

#include "base/tick.h"

namespace qm {

// A periodic timer of the platform. Once started it calls its tick function every `intervalMs`
// milliseconds on the user-interface thread until stopped or destroyed. Start on a running timer
// restarts its period. The timer may be stopped or destroyed from inside its own tick function; the
// platform must keep whatever it needs for the call in progress alive until the call returns.
class PlatformTimer {
  public:
    PlatformTimer() = default;
    PlatformTimer(const PlatformTimer&) = delete;
    PlatformTimer& operator=(const PlatformTimer&) = delete;
    virtual ~PlatformTimer() = default;

    virtual void Start(int intervalMs) = 0;
    virtual void Stop() = 0;
};

// The program's one event loop. Everything runs on the thread that owns it; nothing here is
// thread-safe except where an adapter says so. None of these calls fails.
class EventLoop {
  public:
    EventLoop() = default;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;
    virtual ~EventLoop() = default;

    // Milliseconds of the system tick counter (GetTickCount), as a signed 32-bit value.
    virtual Tick GetTickCount() = 0;

    // A new, stopped timer whose ticks call `onTick`. The caller owns the timer.
    virtual std::unique_ptr<PlatformTimer> CreateTimer(std::function<void()> onTick) = 0;

    // Delivers the events that are pending now (timer ticks that are due, browser and page events, window
    // input) and returns. Any handler of the program may run inside this call.
    virtual void DoEvents() = 0;

    // Blocks the thread for `ms` milliseconds (Sleep): nothing is delivered meanwhile, and a timer that
    // fell due during the wait ticks once afterwards, not once for every period it missed.
    virtual void Sleep(int ms) = 0;

    // Whether the program is ending: the loop has been told to quit (a stop signal, the end of the
    // session, Shut Down) and only unwinds now. Long work that yields stops at its next yield once this
    // is true, instead of holding the end up. Once true, it stays true.
    virtual bool Ending() const = 0;
};

}  // namespace qm
