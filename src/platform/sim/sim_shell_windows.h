#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "ports/shell_windows.h"
#include "ports/sink_list.h"

namespace qm::sim {

class SimBrowser;

// The shell's list of browser windows.
class SimShellWindows final : public ShellWindows {
  public:
    // ShellWindows:
    std::vector<std::shared_ptr<Browser>> Enumerate() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<ShellWindowsEvents> sink) override;

    // Control side.
    void Add(std::shared_ptr<SimBrowser> browser) { browsers_.push_back(std::move(browser)); }
    void Remove(const SimBrowser& browser);
    void FireWindowRegistered();
    void FireWindowRevoked();
    const std::vector<std::shared_ptr<SimBrowser>>& Browsers() const { return browsers_; }

  private:
    std::vector<std::shared_ptr<SimBrowser>> browsers_;
    std::int32_t nextCookie_ = 1;
    SinkList<ShellWindowsEvents> sinks_;
};

}  // namespace qm::sim
