#pragma once

#include <cstdint>
#include <memory>

#include "ports/event_connection.h"

namespace qm {

// Events of the user-input component.
class UiProbeEvents {
  public:
    virtual ~UiProbeEvents() = default;
    // The user gave input on the watched thread at `tickCount` (the GetTickCount clock).
    virtual void UiProbe_UserInput(std::int32_t& tickCount) = 0;
};

// The user-input component: it watches the user's input (mouse buttons, keys) aimed at the windows of
// one browser thread and reports each as UserInput. StartWatch may be called again, for the same or
// another thread; the watch then follows the latest thread. No result of either call is read by the
// program; failures throw PlatformError.
class CUiProbe {
  public:
    CUiProbe() = default;
    CUiProbe(const CUiProbe&) = delete;
    CUiProbe& operator=(const CUiProbe&) = delete;
    virtual ~CUiProbe() = default;

    virtual void StartWatch(std::int32_t& threadId) = 0;
    virtual void StopWatch() = 0;
    virtual std::unique_ptr<EventConnection> Connect(std::weak_ptr<UiProbeEvents> sink) = 0;
};

}  // namespace qm
