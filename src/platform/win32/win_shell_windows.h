#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <exdisp.h>

#include "platform/win32/win_com.h"
#include "ports/shell_windows.h"

namespace qm::win {

// The shell's list of browser windows.
class Win32ShellWindows final : public ShellWindows {
  public:
    explicit Win32ShellWindows(ComPtr<IShellWindows> windows) : windows_(std::move(windows)) {}

    std::vector<std::shared_ptr<Browser>> Enumerate() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<ShellWindowsEvents> sink) override;

  private:
    ComPtr<IShellWindows> windows_;
};

}  // namespace qm::win
