#pragma once

#include <memory>

namespace qm {

class HiddenBrowser;
class ShellWindows;
class CUiProbe;

// Creates the browser-side objects of the program. Each call may throw PlatformError when the engine
// cannot provide the object.
class BrowserFactory {
  public:
    BrowserFactory() = default;
    BrowserFactory(const BrowserFactory&) = delete;
    BrowserFactory& operator=(const BrowserFactory&) = delete;
    virtual ~BrowserFactory() = default;

    // The shell's list of browser windows; its events start when a subscriber connects.
    virtual std::shared_ptr<ShellWindows> CreateShellWindows() = 0;
    // A new user-input component, not yet watching.
    virtual std::unique_ptr<CUiProbe> CreateUiProbe() = 0;
    // A new off-screen browser, ready to host a new window.
    virtual std::shared_ptr<HiddenBrowser> CreateHiddenBrowser() = 0;
};

}  // namespace qm
