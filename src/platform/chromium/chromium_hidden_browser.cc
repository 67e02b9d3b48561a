#include "platform/chromium/chromium_hidden_browser.h"

namespace qm::cr {

std::unique_ptr<EventConnection> ChromiumHiddenBrowser::Connect(std::weak_ptr<HiddenBrowserEvents> sink) {
    return sinks_.Add(std::move(sink));
}

bool ChromiumHiddenBrowser::FireBeforeNavigate2(const std::string& url) {
    navigations_.push_back(url);
    bool cancel = false;
    sinks_.Fire([&](HiddenBrowserEvents& sink) { sink.Browser_BeforeNavigate2(url, cancel); });
    return cancel;
}

void ChromiumHiddenBrowser::FireNewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) {
    sinks_.Fire([&](HiddenBrowserEvents& sink) { sink.Browser_NewWindow2(ppDisp, cancel); });
}

}  // namespace qm::cr
