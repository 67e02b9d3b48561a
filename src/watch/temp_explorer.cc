#include "watch/temp_explorer.h"

#include "base/object_ref.h"
#include "base/platform_error.h"
#include "base/text.h"
#include "monitor/ie_close_delay.h"
#include "monitor/ie_monitor.h"
#include "ports/browser.h"
#include "ports/browser_factory.h"
#include "shell/win_system.h"
#include "watch/ie_top_watcher.h"

namespace qm {

TempExplorer::TempExplorer(WinSystem& app) : Form(app.GetPlatform().loop), app_(app) {
    timerDelay = NewTimer(&TempExplorer::timerDelay_Timer);
}

TempExplorer::~TempExplorer() = default;

void TempExplorer::Form_Load() {
    Browser = app_.GetPlatform().browsers.CreateHiddenBrowser();
    browserConnection_ =
        Require(Browser)->Connect(std::static_pointer_cast<TempExplorer>(shared_from_this()));
    timerDelay->SetInterval(kTempExplorerLifetimeMs);
    timerDelay->SetEnabled(true);
}

void TempExplorer::Form_Unload() {
    browserConnection_.reset();
}

void TempExplorer::timerDelay_Timer() {
    Unload();
}

void TempExplorer::Browser_BeforeNavigate2(const std::string& URL, bool& Cancel) {
    // The blank page a popup starts with, and the browser's own pages, go on unseen; a later navigation
    // is looked at again.
    if (!Contains(URL, ".") || Contains(URL, "res://")) {
        return;
    }
    try {
        PassOn(URL);
    } catch (const PlatformError&) {
        // Swallowed: the navigation is cancelled all the same.
    }
    Cancel = true;
}

void TempExplorer::PassOn(const std::string& URL) {
    if (std::holds_alternative<std::monostate>(Parent)) {
        app_.Hub().AddKilledPopup(URL);
    } else if (const auto* monitorRef = std::get_if<std::weak_ptr<IEMonitor>>(&Parent)) {
        const std::shared_ptr<IEMonitor> monitor = monitorRef->lock();
        if (monitor && monitor->Loaded() && !monitor->Quited) {
            Deref(monitor->IE).Navigate(URL);
        }
    } else if (const auto* delayRef = std::get_if<std::weak_ptr<IECloseDelay>>(&Parent)) {
        const std::shared_ptr<IECloseDelay> delay = delayRef->lock();
        if (delay && delay->Loaded()) {
            delay->TextURL.SetText(URL);
        }
    }
}

void TempExplorer::Browser_NewWindow2(std::shared_ptr<HiddenBrowser>& /*ppDisp*/, bool& Cancel) {
    // A page inside the hidden browser never opens a window of its own.
    Cancel = true;
}

}  // namespace qm
