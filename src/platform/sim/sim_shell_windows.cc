#include "platform/sim/sim_shell_windows.h"

#include "platform/sim/sim_browser.h"

namespace qm::sim {

std::vector<std::shared_ptr<Browser>> SimShellWindows::Enumerate() {
    return {browsers_.begin(), browsers_.end()};
}

std::unique_ptr<EventConnection> SimShellWindows::Connect(std::weak_ptr<ShellWindowsEvents> sink) {
    return sinks_.Add(std::move(sink));
}

void SimShellWindows::Remove(const SimBrowser& browser) {
    std::erase_if(browsers_, [&](const auto& b) { return b.get() == &browser; });
}

void SimShellWindows::FireWindowRegistered() {
    const std::int32_t cookie = nextCookie_++;
    sinks_.Fire([cookie](ShellWindowsEvents& sink) { sink.SWs_WindowRegistered(cookie); });
}

void SimShellWindows::FireWindowRevoked() {
    sinks_.Fire([](ShellWindowsEvents& sink) { sink.SWs_WindowRevoked(0); });
}

}  // namespace qm::sim
