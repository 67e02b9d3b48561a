#include "platform/chromium/chromium_ui_probe.h"

namespace qm::cr {

void ChromiumUiProbe::StartWatch(std::int32_t& threadId) {
    state_->watching = true;
    state_->thread = threadId;
}

void ChromiumUiProbe::StopWatch() {
    state_->watching = false;
}

std::unique_ptr<EventConnection> ChromiumUiProbe::Connect(std::weak_ptr<UiProbeEvents> sink) {
    return state_->sinks.Add(std::move(sink));
}

}  // namespace qm::cr
