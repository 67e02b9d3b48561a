#pragma once

#include <cstdint>
#include <memory>

#include "ports/sink_list.h"
#include "ports/ui_probe.h"

namespace qm::sim {

// The user-input component of one monitor.
class SimUiProbe final : public CUiProbe {
  public:
    // CUiProbe:
    void StartWatch(std::int32_t& threadId) override;
    void StopWatch() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<UiProbeEvents> sink) override;

    // Control side.
    void FireUserInput(std::int32_t tick);
    bool Watching() const { return watching_; }
    std::int32_t WatchedThread() const { return thread_; }
    int StartWatchCalls() const { return startCalls_; }
    int StopWatchCalls() const { return stopCalls_; }

  private:
    bool watching_ = false;
    std::int32_t thread_ = 0;
    int startCalls_ = 0;
    int stopCalls_ = 0;
    SinkList<UiProbeEvents> sinks_;
};

}  // namespace qm::sim
