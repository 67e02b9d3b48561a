#include "platform/sim/sim_hidden_browser.h"

namespace qm::sim {

std::unique_ptr<EventConnection> SimHiddenBrowser::Connect(std::weak_ptr<HiddenBrowserEvents> sink) {
    return sinks_.Add(std::move(sink));
}

bool SimHiddenBrowser::Navigate(const std::string& url) {
    bool cancel = false;
    sinks_.Fire([&](HiddenBrowserEvents& sink) { sink.Browser_BeforeNavigate2(url, cancel); });
    (cancel ? cancelled_ : loaded_).push_back(url);
    return cancel;
}

bool SimHiddenBrowser::RequestNewWindow() {
    std::shared_ptr<HiddenBrowser> ppDisp;
    bool cancel = false;
    sinks_.Fire([&](HiddenBrowserEvents& sink) { sink.Browser_NewWindow2(ppDisp, cancel); });
    return cancel;
}

}  // namespace qm::sim
