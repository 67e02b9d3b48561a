#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ports/event_connection.h"

namespace qm {

class Browser;

// Events of the shell's list of browser windows.
class ShellWindowsEvents {
  public:
    virtual ~ShellWindowsEvents() = default;
    // Follows the addition of a browser window to the list.
    virtual void SWs_WindowRegistered(std::int32_t lCookie) = 0;
    virtual void SWs_WindowRevoked(std::int32_t lCookie) = 0;
};

// The shell's list of open browser windows (ShellWindows). Enumerate lists one object per open browser
// window, in the shell's order; it may throw PlatformError.
class ShellWindows {
  public:
    ShellWindows() = default;
    ShellWindows(const ShellWindows&) = delete;
    ShellWindows& operator=(const ShellWindows&) = delete;
    virtual ~ShellWindows() = default;

    virtual std::vector<std::shared_ptr<Browser>> Enumerate() = 0;
    virtual std::unique_ptr<EventConnection> Connect(std::weak_ptr<ShellWindowsEvents> sink) = 0;
};

}  // namespace qm
