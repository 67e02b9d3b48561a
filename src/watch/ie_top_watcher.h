#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"
#include "watch/shell_windows.h"

namespace qm {

class Browser;
class IEMonitor;
class WinSystem;

// The hub: a hidden window, loaded once at start-up, that knows every browser window on the desktop,
// gives each qualifying one its own monitor, and holds the program-wide services and memory of the run.
class IETopWatcher final : public Form, public ShellWindowsEvents {
  public:
    explicit IETopWatcher(WinSystem& app);
    ~IETopWatcher() override;

    // One monitor per tracked browser, in the order they were added. A monitor removes itself once its
    // browser has gone; the hub's unload removes the rest.
    std::vector<std::shared_ptr<IEMonitor>> IEMonitors;
    // Addresses of killed popups, in the order each was first added; no two equal.
    std::vector<std::string> KilledPopups;
    std::int32_t KilledBannerNumber = 0;
    std::int32_t KilledFlashNumber = 0;
    std::int32_t KilledIFrameNumber = 0;
    std::int32_t KilledFloatNumber = 0;

    // True exactly for a live browser object of the expected kind. Never throws.
    bool IsIEValid(const std::shared_ptr<Browser>& CheckIE) const;

    // ShellWindowsEvents:
    void SWs_WindowRegistered(std::int32_t lCookie) override;
    void SWs_WindowRevoked(std::int32_t lCookie) override;

  protected:
    void Form_Load() override;
    void Form_Unload() override;

  private:
    // A browser qualifies for a monitor when it is valid and visible.
    bool Qualifies(const std::shared_ptr<Browser>& browser) const;
    std::vector<std::shared_ptr<Browser>> QualifyingBrowsers();
    void AddMonitor(const std::shared_ptr<Browser>& browser);

    WinSystem& app_;
    std::shared_ptr<ShellWindows> SWs;
    std::unique_ptr<EventConnection> swsConnection_;
};

}  // namespace qm
