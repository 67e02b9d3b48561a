#include "watch/ie_top_watcher.h"

#include <algorithm>
#include <limits>

#include "base/object_ref.h"
#include "base/platform_error.h"
#include "monitor/ie_close_delay.h"
#include "monitor/ie_monitor.h"
#include "ports/browser.h"
#include "ports/browser_factory.h"
#include "ports/com_object.h"
#include "ports/desktop.h"
#include "ports/page_document.h"
#include "ports/page_element.h"
#include "ports/page_window.h"
#include "shell/win_system.h"
#include "watch/ad_url.h"

namespace qm {

namespace {
constexpr char kBrowserTypeName[] = "IWebBrowser2";

// OpenURL starts the system's browser with the address as its whole command line.
constexpr char kBrowserProgram[] = "iexplore.exe";
constexpr char kBrowserErrorText[] = "Browser error!";
// ShellExecute results of this value or less are failures.

// The row of countdown windows stands this far below the top of the screen, in twips.
constexpr float kDelayRowTop = 90;

// A screen coordinate relative to a window's client area. Computed wide and held to the 32-bit range, so
// that no position a browser reports can overflow; a point that far away is outside the window anyway.
std::int32_t ClientCoordinate(std::int32_t screen, std::int32_t clientOrigin) {
    const std::int64_t relative = std::int64_t{screen} - clientOrigin;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        relative, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}
}  // namespace

IETopWatcher::IETopWatcher(WinSystem& app) : Form(app.GetPlatform().loop), app_(app) {}

IETopWatcher::~IETopWatcher() = default;

bool IETopWatcher::IsIEValid(const std::shared_ptr<Browser>& CheckIE) const {
    if (!CheckIE) {
        return false;
    }
    try {
        return CheckIE->TypeName() == kBrowserTypeName;
    } catch (const PlatformError&) {
        return false;
    }
}

bool IETopWatcher::Qualifies(const std::shared_ptr<Browser>& browser) const {
    if (!IsIEValid(browser)) {
        return false;
    }
    // A browser that goes away between the two questions simply does not qualify.
    try {
        return browser->Visible();
    } catch (const PlatformError&) {
        return false;
    }
}

std::vector<std::shared_ptr<Browser>> IETopWatcher::QualifyingBrowsers() {
    std::vector<std::shared_ptr<Browser>> result;
    for (const auto& browser : SWs->Enumerate()) {
        if (Qualifies(browser)) {
            result.push_back(browser);
        }
    }
    return result;
}

bool IETopWatcher::AddMonitor(const std::shared_ptr<Browser>& browser) {
    auto monitor = std::make_shared<IEMonitor>(app_);
    monitor->Load();
    try {
        monitor->SetIE(browser);
    } catch (const PlatformError&) {
        // The browser went away while its monitor was being attached: it is skipped without a word, as
        // one that does not qualify is, and its monitor ends unused.
        monitor->Unload();
        return false;
    }
    IEMonitors.push_back(std::move(monitor));
    return true;
}

void IETopWatcher::Form_Load() {
    SWs = app_.GetPlatform().browsers.CreateShellWindows();
    swsConnection_ = SWs->Connect(std::static_pointer_cast<IETopWatcher>(shared_from_this()));
    for (const auto& browser : QualifyingBrowsers()) {
        AddMonitor(browser);
    }
}

void IETopWatcher::Form_Unload() {
    swsConnection_.reset();
    // Take the count once: unloading a monitor runs no code that could add one, but the list is changed
    // only here, entry by entry, as the program always did.
    const std::size_t count = IEMonitors.size();
    for (std::size_t i = 0; i < count && !IEMonitors.empty(); ++i) {
        const std::shared_ptr<IEMonitor> first = IEMonitors.front();
        first->Unload();
        if (!IEMonitors.empty() && IEMonitors.front() == first) {
            IEMonitors.erase(IEMonitors.begin());
        }
    }
}

void IETopWatcher::SWs_WindowRegistered(std::int32_t /*lCookie*/) {
    // Every announcement lists the browsers afresh and gives a monitor to at most one of them: the last
    // one, in the shell's order, that has none yet.
    const auto browsers = QualifyingBrowsers();
    for (auto browser = browsers.rbegin(); browser != browsers.rend(); ++browser) {
        bool hasMonitor = false;
        for (auto monitor = IEMonitors.rbegin(); monitor != IEMonitors.rend(); ++monitor) {
            if (SameObject((*monitor)->IE, *browser)) {
                hasMonitor = true;
                break;
            }
        }
        if (!hasMonitor && AddMonitor(*browser)) {
            return;
        }
    }
}

void IETopWatcher::SWs_WindowRevoked(std::int32_t /*lCookie*/) {
    // A closed browser's monitor notices by itself, at its next poll.
}

bool IETopWatcher::IsAd(std::string_view URL) const {
    return IsAdUrl(URL);
}

bool IETopWatcher::IsInputEffective(const std::shared_ptr<PageDocument>& Doc) const {
    const ScreenPoint pointer = app_.GetPlatform().desktop.GetCursorPos();
    PageDocument& doc = Deref(Doc);
    // The frame count is taken once; the top window comes first (k = -1), then each first-level frame.
    const std::int32_t frameCount = doc.FramesLength();
    for (std::int32_t k = -1; k < frameCount; ++k) {
        std::shared_ptr<PageWindow> window;
        if (k < 0) {
            window = doc.ParentWindow();
        } else {
            window = doc.FramesItem(k);
            if (!CanFrameAccess(window)) {
                continue;
            }
        }
        PageWindow& w = Deref(window);
        const std::shared_ptr<Element> body = Require(w.Document())->Body();
        if (!body) {
            continue;  // a page whose body has not arrived yet has no content to click on
        }
        const std::int32_t x = ClientCoordinate(pointer.x, w.ScreenLeft());
        const std::int32_t y = ClientCoordinate(pointer.y, w.ScreenTop());
        // An empty part name means the body's own client area: the page content, not a scroll bar.
        if (body->ComponentFromPoint(x, y).empty()) {
            return true;
        }
    }
    return false;
}

bool IETopWatcher::CanFrameAccess(const std::shared_ptr<PageWindow>& CheckFrame) const {
    try {
        Deref(CheckFrame).Document();
        return true;
    } catch (const PlatformError&) {
        return false;  // typically a frame of another site, whose document the browser keeps to itself
    }
}

bool IETopWatcher::IsAllFeaturesDisabled() const {
    // Bit 15 (the value read as negative) is set while the key is down; bit 0, an earlier press, is not
    // looked at.
    return app_.GetPlatform().desktop.GetAsyncKeyState(kVkControl) < 0;
}

void IETopWatcher::AddKilledPopup(const std::string& NewKilledPopup) {
    if (std::find(KilledPopups.begin(), KilledPopups.end(), NewKilledPopup) != KilledPopups.end()) {
        return;
    }
    KilledPopups.push_back(NewKilledPopup);
}

void IETopWatcher::OpenURL(const std::string& URL) {
    Desktop& desktop = app_.GetPlatform().desktop;
    // The address goes unquoted and unchanged as the whole parameter text.
    if (desktop.ShellExecute("", kBrowserProgram, URL, "", kShowNormal) <= kShellExecuteLastError) {
        desktop.MessageBox(kBrowserErrorText, app_.AppTitle(), mb::kIconStop | mb::kOk);
    }
}

void IETopWatcher::AddDelay(const std::shared_ptr<IECloseDelay>& NewDelay) {
    Deref(NewDelay);
    IECloseDelays.push_back(NewDelay);

    Desktop& desktop = app_.GetPlatform().desktop;
    const double screenWidth = static_cast<double>(desktop.ScreenWidthPixels()) * desktop.TwipsPerPixel();
    const double count = static_cast<double>(IECloseDelays.size());
    // Each window uses its own width both in the gap and in the offset, as the row always has; windows
    // of one kind share one width, and then the gaps are all equal.
    double i = 1;
    for (const std::shared_ptr<IECloseDelay>& delay : IECloseDelays) {
        const double width = delay->Width();
        const double left = (screenWidth - width * count) / (count + 1) * i + (i - 1) * width;
        delay->Move(static_cast<float>(left), kDelayRowTop);
        ++i;
    }
}

void IETopWatcher::RemoveDelay(const std::shared_ptr<IECloseDelay>& OldDelay) {
    const auto entry = std::find(IECloseDelays.begin(), IECloseDelays.end(), OldDelay);
    if (entry != IECloseDelays.end()) {
        IECloseDelays.erase(entry);
    }
}

void IETopWatcher::AddToCounter(std::int32_t& counter, std::int32_t amount) {
    if (amount <= 0) {
        return;
    }
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    counter = counter > kMax - amount ? kMax : counter + amount;
}

}  // namespace qm
