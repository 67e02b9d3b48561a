#include "watch/ie_top_watcher.h"

#include "base/platform_error.h"
#include "monitor/ie_monitor.h"
#include "shell/win_system.h"
#include "watch/browser.h"
#include "watch/browser_factory.h"
#include "watch/com_object.h"

namespace qm {

namespace {
constexpr char kBrowserTypeName[] = "IWebBrowser2";
}

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

void IETopWatcher::AddMonitor(const std::shared_ptr<Browser>& browser) {
    auto monitor = std::make_shared<IEMonitor>(app_);
    monitor->Load();
    monitor->SetIE(browser);
    IEMonitors.push_back(std::move(monitor));
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
        if (!hasMonitor) {
            AddMonitor(*browser);
            return;
        }
    }
}

void IETopWatcher::SWs_WindowRevoked(std::int32_t /*lCookie*/) {
    // A closed browser's monitor notices by itself, at its next poll.
}

}  // namespace qm
