#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/tick.h"
#include "forms/form.h"
#include "monitor/ad_remover.h"
#include "ports/browser.h"
#include "ports/page_document.h"
#include "ports/page_window.h"
#include "ports/ui_probe.h"

namespace qm {

class TempExplorer;
class WinSystem;

// The script the monitor runs in a page after user input. It sets the root element's attribute `ut` and
// assigns the title to itself, which makes the document report a property change once the page has
// finished the work the input started.
inline constexpr char kInputMarkerScript[] =
    "document.documentElement.setAttribute('ut',true);document.title=document.title;";

// Watches one browser window: follows its browser, page and input events, keeps the input time stamps
// that the popup decision reads, injects the input marker, re-binds to each new page, schedules the ad
// pass and ends itself once its browser has gone. A hidden window, created and loaded by the hub, always
// owned by a std::shared_ptr.
class IEMonitor final : public Form,
                        public BrowserEvents,
                        public PageDocumentEvents,
                        public PageWindowEvents,
                        public UiProbeEvents {
  public:
    explicit IEMonitor(WinSystem& app);
    ~IEMonitor() override;

    // True once the browser has fired OnQuit.
    bool Quited = false;
    // The watched browser.
    std::shared_ptr<Browser> IE;

    // Attaches the monitor to its browser and binds it to the current page.
    void SetIE(const std::shared_ptr<Browser>& NewIE);

    // BrowserEvents:
    void IE_BeforeNavigate2(const std::string& url, bool& cancel) override;
    void IE_DownloadBegin() override;
    void IE_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) override;
    void IE_OnQuit() override;
    void IE_StatusTextChange(const std::string& text) override;

    // PageDocumentEvents:
    void Document_onactivate() override;
    void Document_onpropertychange() override;

    // PageWindowEvents:
    void Window_onbeforeunload() override;

    // UiProbeEvents:
    void UiProbe_UserInput(std::int32_t& tickCount) override;

    // The time stamps, read by the popup decision and by tests.
    Tick BeforeNavigateTick() const { return beforeNavigateTick_; }
    Tick BeforeUnloadTick() const { return beforeUnloadTick_; }
    Tick DownloadBeginTick() const { return downloadBeginTick_; }
    Tick UserInputTick() const { return userInputTick_; }
    Tick MarkerSeenTick() const { return markerSeenTick_; }
    Tick ConsumedTick() const { return consumedTick_; }
    bool MarkerPending() const { return markerPending_; }
    bool Bound() const { return bound_; }
    std::int16_t StatusChangeCount() const { return statusChangeCount_; }
    bool DownloadInNavigation() const { return downloadInNavigation_; }
    // Whether an ad pass is scheduled to run at the next timer message.
    bool AdPassScheduled() const { return timerShow->Enabled(); }
    const std::shared_ptr<PageDocument>& CurrentDocument() const { return Document; }

    // There was user input that no window has been granted for yet.
    bool HasFreshUserInput() const;
    // The page is still working on the last input: the marker injected after it has not come back.
    bool IsWithinUserAction();

  protected:
    void Form_Load() override;
    void Form_Unload() override;

  private:
    Tick Now() const;
    std::shared_ptr<IEMonitor> Self();

    std::shared_ptr<TempExplorer> NewTempExplorer();
    void BindDocument();
    void InjectInputMarker();
    void InstallHidingStyleSheet(const std::shared_ptr<PageDocument>& Doc);
    void RemoveAds(const std::shared_ptr<PageDocument>& Doc);

    void timerShow_Timer();
    void timerUserTrigger_Timer();
    void timerCheckIEQuit_Timer();

    WinSystem& app_;
    AdRemover adRemover_;

    std::shared_ptr<PageWindow> Window;
    std::shared_ptr<PageDocument> Document;
    std::unique_ptr<CUiProbe> UiProbe;

    std::unique_ptr<EventConnection> ieConnection_;
    std::unique_ptr<EventConnection> documentConnection_;
    std::unique_ptr<EventConnection> windowConnection_;
    std::unique_ptr<EventConnection> probeConnection_;

    Tick beforeNavigateTick_ = 0;
    Tick beforeUnloadTick_ = 0;
    Tick downloadBeginTick_ = 0;
    Tick userInputTick_ = 0;
    Tick markerSeenTick_ = 0;
    Tick consumedTick_ = 0;
    bool userInputSeen_ = false;
    bool markerSeen_ = false;
    bool markerPending_ = false;
    bool bound_ = false;
    std::int16_t statusChangeCount_ = 0;
    bool downloadInNavigation_ = false;
    std::string lastURL_;
    std::int32_t lastAllLength_ = 0;

    std::unique_ptr<Timer> timerShow;
    std::unique_ptr<Timer> timerUserTrigger;
    std::unique_ptr<Timer> timerCheckIEQuit;
};

}  // namespace qm
