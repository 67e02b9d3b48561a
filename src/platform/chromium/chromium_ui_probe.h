#pragma once

#include <cstdint>
#include <memory>

#include "ports/sink_list.h"
#include "ports/ui_probe.h"

namespace qm::cr {

// The state behind one user-input component handed to the program.
struct ProbeState {
    bool watching = false;
    std::int32_t thread = 0;
    SinkList<UiProbeEvents> sinks;
};

// The user-input component handed to the program: it watches the pages of one browser thread, whose
// in-page probes report to the world, which fires the component's events.
class ChromiumUiProbe final : public CUiProbe {
  public:
    explicit ChromiumUiProbe(std::shared_ptr<ProbeState> state) : state_(std::move(state)) {}

    // CUiProbe:
    void StartWatch(std::int32_t& threadId) override;
    void StopWatch() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<UiProbeEvents> sink) override;

  private:
    std::shared_ptr<ProbeState> state_;
};

}  // namespace qm::cr
