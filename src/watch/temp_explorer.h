#pragma once

#include <memory>
#include <string>
#include <variant>

#include "forms/form.h"
#include "ports/hidden_browser.h"

namespace qm {

class IECloseDelay;
class IEMonitor;
class WinSystem;

inline constexpr int kTempExplorerLifetimeMs = 30000;

// A hidden window holding an off-screen browser that a watched browser is given as the host of a new
// window. The popup's first real navigation arrives here: its address goes to whoever the popup belongs
// to, and the navigation is cancelled, so the popup never shows anything. The window unloads itself 30
// seconds after it was made, whatever became of the capture.
class TempExplorer final : public Form, public HiddenBrowserEvents {
  public:
    // Who receives the captured address: nobody (the killed-popup list), the monitor whose own window
    // loads it, or the countdown window that shows it. Held weakly: a receiver that has ended before the
    // address arrives gets nothing, and the address is dropped.
    using ParentRef = std::variant<std::monostate, std::weak_ptr<IEMonitor>, std::weak_ptr<IECloseDelay>>;

    explicit TempExplorer(WinSystem& app);
    ~TempExplorer() override;

    ParentRef Parent;
    // The off-screen browser, handed to the watched browser as the new window.
    std::shared_ptr<HiddenBrowser> Browser;

    // HiddenBrowserEvents:
    void Browser_BeforeNavigate2(const std::string& URL, bool& Cancel) override;
    void Browser_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& Cancel) override;

  protected:
    void Form_Load() override;
    void Form_Unload() override;

  private:
    void PassOn(const std::string& URL);
    void timerDelay_Timer();

    WinSystem& app_;
    std::unique_ptr<EventConnection> browserConnection_;
    std::unique_ptr<Timer> timerDelay;
};

}  // namespace qm
