#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "base/event_loop.h"
#include "platform/win32/win_api.h"
#include "ports/ui_probe.h"

namespace qm::win {

// The user-input component: low-level mouse and keyboard hooks of this process that report the button
// presses and key presses aimed at the windows of the watched thread. Each notice is delivered from the
// event loop shortly after the hook saw it (a hook must return at once), with the tick of the input.
class Win32UiProbe final : public CUiProbe {
  public:
    explicit Win32UiProbe(EventLoop& loop);
    ~Win32UiProbe() override;

    void StartWatch(std::int32_t& threadId) override;
    void StopWatch() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<UiProbeEvents> sink) override;

    // Called by the hooks: the input went to a window of thread `threadId` at `tick`.
    void Noticed(DWORD threadId, std::int32_t tick);

  private:
    void Deliver();

    EventLoop& loop_;
    std::unique_ptr<PlatformTimer> delivery_;
    std::deque<std::int32_t> pending_;
    DWORD threadId_ = 0;
    bool watching_ = false;
    std::shared_ptr<std::vector<std::weak_ptr<UiProbeEvents>>> sinks_ =
        std::make_shared<std::vector<std::weak_ptr<UiProbeEvents>>>();
};

}  // namespace qm::win
