#include "platform/sim/sim_ui_probe.h"

namespace qm::sim {

void SimUiProbe::StartWatch(std::int32_t& threadId) {
    watching_ = true;
    thread_ = threadId;
    ++startCalls_;
}

void SimUiProbe::StopWatch() {
    watching_ = false;
    ++stopCalls_;
}

std::unique_ptr<EventConnection> SimUiProbe::Connect(std::weak_ptr<UiProbeEvents> sink) {
    return sinks_.Add(std::move(sink));
}

void SimUiProbe::FireUserInput(std::int32_t tick) {
    sinks_.Fire([tick](UiProbeEvents& sink) {
        std::int32_t tickCount = tick;
        sink.UiProbe_UserInput(tickCount);
    });
}

}  // namespace qm::sim
