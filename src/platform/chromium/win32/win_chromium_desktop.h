#pragma once

#include <memory>

#include "platform/win32/win_desktop.h"

namespace qm::cr {

class ChromiumWorld;

// The Windows desktop when the program watches Edge or Chrome: the real pointer, keyboard, screen and
// message boxes, but "iexplore.exe" started with an address opens that address as a new window of the
// watched browser (Internet Explorer would open it where nothing watches it, or not at all).
class WinChromiumDesktop final : public win::Win32Desktop {
  public:
    explicit WinChromiumDesktop(std::weak_ptr<ChromiumWorld> world) : world_(std::move(world)) {}

    std::intptr_t ShellExecute(const std::string& verb,
                               const std::string& file,
                               const std::string& parameters,
                               const std::string& directory,
                               int showCommand) override;

  private:
    std::weak_ptr<ChromiumWorld> world_;
};

}  // namespace qm::cr
