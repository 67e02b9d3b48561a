#include "monitor/ie_monitor.h"

#include <algorithm>
#include <limits>

#include "base/object_ref.h"
#include "base/platform_error.h"
#include "monitor/ie_close_delay.h"
#include "ports/browser_factory.h"
#include "ports/com_object.h"
#include "ports/element_collection.h"
#include "ports/page_element.h"
#include "settings/settings.h"
#include "shell/win_system.h"
#include "watch/ie_top_watcher.h"
#include "watch/temp_explorer.h"

namespace qm {

namespace {
constexpr int kOneShotMs = 1;
constexpr int kQuitPollMs = 1000;
constexpr std::int32_t kUnloadNavigationWindowMs = 500;
}  // namespace

IEMonitor::IEMonitor(WinSystem& app) : Form(app.GetPlatform().loop), app_(app), adRemover_(app) {
    timerShow = NewTimer(&IEMonitor::timerShow_Timer);
    timerShow->SetInterval(kOneShotMs);
    timerUserTrigger = NewTimer(&IEMonitor::timerUserTrigger_Timer);
    timerUserTrigger->SetInterval(kOneShotMs);
    timerCheckIEQuit = NewTimer(&IEMonitor::timerCheckIEQuit_Timer);
}

IEMonitor::~IEMonitor() {
    // The monitor's end stops the input watch. This runs from whatever released the last reference, so
    // nothing may leave it.
    if (UiProbe) {
        try {
            UiProbe->StopWatch();
        } catch (const PlatformError&) {
        }
    }
}

Tick IEMonitor::Now() const {
    return Loop().GetTickCount();
}

std::shared_ptr<IEMonitor> IEMonitor::Self() {
    return std::static_pointer_cast<IEMonitor>(shared_from_this());
}

void IEMonitor::Form_Load() {
    UiProbe = app_.GetPlatform().browsers.CreateUiProbe();
    probeConnection_ = UiProbe->Connect(Self());
    timerCheckIEQuit->SetInterval(kQuitPollMs);
    timerCheckIEQuit->SetEnabled(true);
}

void IEMonitor::Form_Unload() {
    // An unloaded monitor hears nothing more; its input watch stops when the monitor itself ends.
    ieConnection_.reset();
    documentConnection_.reset();
    windowConnection_.reset();
    probeConnection_.reset();
}

void IEMonitor::SetIE(const std::shared_ptr<Browser>& NewIE) {
    IE = NewIE;
    ieConnection_ = IE ? IE->Connect(Self()) : nullptr;
    BindDocument();
}

void IEMonitor::BindDocument() {
    try {
        std::shared_ptr<PageDocument> current = Deref(IE).Document();
        if (!current) {
            return;  // not an HTML page: stay as bound or unbound as before
        }
        std::int32_t threadId = IE->WindowThreadId();
        UiProbe->StartWatch(threadId);

        // Taking a new document or window ends the events of the previous one.
        Document = std::move(current);
        documentConnection_ = Document->Connect(Self());
        Window = Document->ParentWindow();
        windowConnection_ = Deref(Window).Connect(Self());

        bound_ = true;
    } catch (const PlatformError&) {
        // What was done stays done; the next status change tries again.
    }
}

void IEMonitor::InjectInputMarker() {
    try {
        if (!markerPending_) {
            return;
        }
        if (Require(Deref(Document).All())->Length() == 0) {
            return;  // the marker stays owed until the page has elements
        }
        Deref(Window).SetTimeout(kInputMarkerScript, 1);
        markerPending_ = false;
    } catch (const PlatformError&) {
    }
}

void IEMonitor::IE_BeforeNavigate2(const std::string& /*url*/, bool& /*cancel*/) {
    beforeNavigateTick_ = Now();
}

void IEMonitor::IE_DownloadBegin() {
    downloadBeginTick_ = Now();
}

bool IEMonitor::HasFreshUserInput() const {
    // Before the first input there is nothing to spend, whatever the tick counter reads.
    return userInputSeen_ && TickAfter(userInputTick_, consumedTick_);
}

bool IEMonitor::IsWithinUserAction() {
    // Once the marker injected after the last input has come back, and a moment has passed, the page has
    // finished the work that input started.
    const bool finished =
        markerSeen_ && TickDiff(Now(), markerSeenTick_) > 0 && TickAfter(markerSeenTick_, userInputTick_);
    return !finished;
}

std::shared_ptr<TempExplorer> IEMonitor::NewTempExplorer() {
    auto explorer = std::make_shared<TempExplorer>(app_);
    explorer->Load();
    app_.KeepWhileLoaded(explorer);
    return explorer;
}

void IEMonitor::IE_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& /*cancel*/) {
    std::shared_ptr<TempExplorer> explorer;
    try {
        IETopWatcher& hub = app_.Hub();
        if (hub.IsAllFeaturesDisabled()) {
            return;  // Ctrl held: the window opens and nothing is recorded
        }
        // All three are asked, in this order, whatever the first answers: the pointer and key state
        // belong to this moment.
        const bool fresh = HasFreshUserInput();
        const bool within = IsWithinUserAction();
        const bool effective = hub.IsInputEffective(Document);
        Settings& settings = app_.AppSettings();

        if (fresh && within && effective) {
            if (settings.WindowFixed()) {
                explorer = NewTempExplorer();
                explorer->Parent = std::weak_ptr<IEMonitor>(Self());
                ppDisp = explorer->Browser;
            }
            consumedTick_ = Now();  // one input, one window
            return;
        }

        if (!settings.RecogEnable()) {
            return;
        }
        explorer = NewTempExplorer();
        ppDisp = explorer->Browser;
        if (settings.PopupNotify()) {
            auto delay = std::make_shared<IECloseDelay>(app_);
            delay->Load();
            explorer->Parent = std::weak_ptr<IECloseDelay>(delay);
            delay->Execute();
        }
    } catch (const PlatformError&) {
        // A decision that cannot be made lets the window open as the browser wants.
        ppDisp.reset();
        if (explorer) {
            explorer->Unload();
        }
    }
}

void IEMonitor::IE_OnQuit() {
    Quited = true;
}

void IEMonitor::IE_StatusTextChange(const std::string& /*text*/) {
    try {
        // The count only matters up to 2; holding it at its maximum keeps a page that changes its status
        // text endlessly without unloading from overflowing it.
        if (statusChangeCount_ < std::numeric_limits<std::int16_t>::max()) {
            ++statusChangeCount_;
        }
        if (statusChangeCount_ == 2 && downloadInNavigation_) {
            consumedTick_ = Now();
        }
        InjectInputMarker();

        const std::int32_t allLength = Require(Require(Deref(IE).Document())->All())->Length();

        if (IE->LocationURL() != lastURL_) {
            consumedTick_ = Now();
            bound_ = false;
        } else if (allLength == 0) {
            consumedTick_ = Now();
        }

        const std::shared_ptr<PageDocument> current = IE->Document();
        if (!SameObject(Window, Deref(current).ParentWindow()) || !SameObject(Document, current)) {
            bound_ = false;
        }

        lastURL_ = IE->LocationURL();

        if (!bound_) {
            BindDocument();
        }

        if (allLength != lastAllLength_) {
            timerShow->SetEnabled(true);
            // A page's own unload warning runs at unload instead of before it.
            const std::shared_ptr<Element> body = Require(Deref(Document).Body());
            const Variant handler = body->GetAttribute("onbeforeunload");
            if (!handler.IsNull()) {
                body->SetAttribute("onbeforeunload", Variant());
                body->SetAttribute("onunload", handler);
            }
        }
        lastAllLength_ = allLength;
    } catch (const PlatformError&) {
        // Ends quietly; what was done stays, and the next status change tries again.
    }
}

void IEMonitor::Document_onactivate() {
    try {
        InstallHidingStyleSheet(Document);
    } catch (const PlatformError&) {
    }
}

void IEMonitor::Document_onpropertychange() {
    try {
        const std::shared_ptr<Element> root = Require(Deref(Document).DocumentElement());
        if (VariantIsTrue(root->GetAttribute("ut"))) {
            markerSeenTick_ = Now();
            markerSeen_ = true;
            root->SetAttribute("ut", Variant(false));
        }
    } catch (const PlatformError&) {
        // A document without a root element, or one that has gone: nothing to see.
    }
}

void IEMonitor::Window_onbeforeunload() {
    beforeUnloadTick_ = Now();
    // A page that unloads without a navigation started within the last 500 ms cannot spend earlier input
    // on windows it opens while unloading.
    if (TickDiff(beforeUnloadTick_, beforeNavigateTick_) > kUnloadNavigationWindowMs) {
        consumedTick_ = beforeUnloadTick_;
    }
    downloadInNavigation_ = TickAtOrAfter(downloadBeginTick_, beforeNavigateTick_) &&
                            TickAtOrAfter(beforeUnloadTick_, downloadBeginTick_);
    statusChangeCount_ = 0;
}

void IEMonitor::UiProbe_UserInput(std::int32_t& tickCount) {
    userInputTick_ = tickCount;
    userInputSeen_ = true;
    markerPending_ = true;
    timerUserTrigger->SetEnabled(true);
}

void IEMonitor::InstallHidingStyleSheet(const std::shared_ptr<PageDocument>& Doc) {
    adRemover_.InstallHidingStyleSheet(Doc);
}

void IEMonitor::RemoveAds(const std::shared_ptr<PageDocument>& Doc) {
    // The pass yields after every element; once this monitor has ended there is no page left to clean.
    adRemover_.RemoveAds(Doc, [this] { return Loaded(); });
}

void IEMonitor::timerShow_Timer() {
    timerShow->SetEnabled(false);
    try {
        RemoveAds(Document);
    } catch (const PlatformError&) {
        // A failure ends this pass only.
    }
}

void IEMonitor::timerUserTrigger_Timer() {
    InjectInputMarker();
    timerUserTrigger->SetEnabled(false);
}

void IEMonitor::timerCheckIEQuit_Timer() {
    IETopWatcher& hub = app_.Hub();
    if (hub.IsIEValid(IE)) {
        return;
    }
    auto& monitors = hub.IEMonitors;
    const auto isThis = [this](const std::shared_ptr<IEMonitor>& m) { return m.get() == this; };
    if (std::find_if(monitors.begin(), monitors.end(), isThis) == monitors.end()) {
        return;
    }
    // The timer's dispatch keeps this monitor alive until the handler returns, even once its entry is gone.
    Unload();
    const auto entry = std::find_if(monitors.begin(), monitors.end(), isThis);
    if (entry != monitors.end()) {
        monitors.erase(entry);
    }
}

}  // namespace qm
