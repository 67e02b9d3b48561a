#include "platform/chromium/chromium_shell_windows.h"

#include "platform/chromium/chromium_browser.h"

namespace qm::cr {

std::vector<std::shared_ptr<Browser>> ChromiumShellWindows::Enumerate() {
    std::vector<std::shared_ptr<Browser>> result;
    for (const auto& b : browsers_) {
        if (b->Alive()) {
            result.push_back(b);
        }
    }
    return result;
}

std::unique_ptr<EventConnection> ChromiumShellWindows::Connect(std::weak_ptr<ShellWindowsEvents> sink) {
    return sinks_.Add(std::move(sink));
}

void ChromiumShellWindows::Remove(const ChromiumBrowser& browser) {
    std::erase_if(browsers_, [&](const auto& b) { return b.get() == &browser; });
}

void ChromiumShellWindows::FireWindowRegistered() {
    const std::int32_t cookie = nextCookie_++;
    sinks_.Fire([cookie](ShellWindowsEvents& sink) { sink.SWs_WindowRegistered(cookie); });
}

void ChromiumShellWindows::FireWindowRevoked() {
    sinks_.Fire([](ShellWindowsEvents& sink) { sink.SWs_WindowRevoked(0); });
}

}  // namespace qm::cr
