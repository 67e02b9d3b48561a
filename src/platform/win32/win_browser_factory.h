#pragma once

#include <memory>

#include "base/event_loop.h"
#include "ports/browser_factory.h"

namespace qm::win {

// Internet Explorer's objects through COM, on the user-interface thread (which must have OLE
// initialised).
class Win32BrowserFactory final : public BrowserFactory {
  public:
    explicit Win32BrowserFactory(EventLoop& loop) : loop_(loop) {}

    std::shared_ptr<ShellWindows> CreateShellWindows() override;
    std::unique_ptr<CUiProbe> CreateUiProbe() override;
    std::shared_ptr<HiddenBrowser> CreateHiddenBrowser() override;

  private:
    EventLoop& loop_;
};

}  // namespace qm::win
