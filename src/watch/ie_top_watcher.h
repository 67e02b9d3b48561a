#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "forms/form.h"
#include "ports/shell_windows.h"

namespace qm {

class Browser;
class IECloseDelay;
class IEMonitor;
class PageDocument;
class PageWindow;
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
    // The countdown windows now on screen, in the order they were added, standing in one row along the
    // top of the screen.
    std::vector<std::shared_ptr<IECloseDelay>> IECloseDelays;
    // Addresses of killed popups, in the order each was first added; no two equal.
    std::vector<std::string> KilledPopups;
    // What the ad pass removed during this run, all monitors together. They only grow; add to them through
    // AddToCounter, which holds a counter at its maximum instead of letting it overflow.
    std::int32_t KilledBannerNumber = 0;
    std::int32_t KilledFlashNumber = 0;
    std::int32_t KilledIFrameNumber = 0;
    std::int32_t KilledFloatNumber = 0;

    // True exactly for a live browser object of the expected kind. Never throws.
    bool IsIEValid(const std::shared_ptr<Browser>& CheckIE) const;

    // Whether an address looks like an advertisement's (see IsAdUrl). Pure; never throws.
    bool IsAd(std::string_view URL) const;

    // Whether the pointer stands, right now, over the content of the page `Doc` or of one of its
    // first-level frames: not over a scroll bar, not over the browser's own bars, not outside. Frames
    // whose document may not be read (another site's) and windows without a body yet are skipped; frames
    // inside frames are never looked at. Any other failing page call throws PlatformError.
    bool IsInputEffective(const std::shared_ptr<PageDocument>& Doc) const;
    // Whether the document of the frame `CheckFrame` may be read. Every failure, an absent frame
    // included, answers false; nothing is thrown.
    bool CanFrameAccess(const std::shared_ptr<PageWindow>& CheckFrame) const;
    // Whether the Ctrl key is down at this moment: while it is, every feature of the program stands aside.
    // An earlier press that has ended does not count. Never throws.
    bool IsAllFeaturesDisabled() const;

    // Adds an address to KilledPopups unless an entry equal to it (letter case included) is there already.
    void AddKilledPopup(const std::string& NewKilledPopup);
    // Opens `URL` in a new browser window; a failed start is reported to the user with a message box and
    // not to the caller.
    void OpenURL(const std::string& URL);
    // A countdown window joins the row and the whole row is laid out again: equal gaps between the
    // windows and at both screen edges, 90 twips below the top. Too many windows overlap; nothing clamps
    // them. Throws PlatformError for an absent window, leaving the row as it was.
    void AddDelay(const std::shared_ptr<IECloseDelay>& NewDelay);
    // The first entry that is `OldDelay` itself leaves the row; the others stay where they stand until
    // the next AddDelay. A window that is not in the row changes nothing.
    void RemoveDelay(const std::shared_ptr<IECloseDelay>& OldDelay);

    // counter += amount, held at the largest 32-bit value instead of overflowing. The counters only
    // grow, so an amount of zero or less leaves the counter as it is.
    static void AddToCounter(std::int32_t& counter, std::int32_t amount);

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
    // Creates, attaches and lists a monitor for `browser`; false (and nothing listed) when the browser
    // went away meanwhile.
    bool AddMonitor(const std::shared_ptr<Browser>& browser);

    WinSystem& app_;
    std::shared_ptr<ShellWindows> SWs;
    std::unique_ptr<EventConnection> swsConnection_;
};

}  // namespace qm
