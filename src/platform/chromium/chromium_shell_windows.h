#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ports/browser.h"
#include "ports/shell_windows.h"
#include "ports/sink_list.h"

namespace qm::cr {

class ChromiumBrowser;

// The list of watched browser windows.
class ChromiumShellWindows final : public ShellWindows {
  public:
    // ShellWindows:
    std::vector<std::shared_ptr<Browser>> Enumerate() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<ShellWindowsEvents> sink) override;

    void Add(std::shared_ptr<ChromiumBrowser> browser) { browsers_.push_back(std::move(browser)); }
    void Remove(const ChromiumBrowser& browser);
    const std::vector<std::shared_ptr<ChromiumBrowser>>& Browsers() const { return browsers_; }
    void FireWindowRegistered();
    void FireWindowRevoked();

  private:
    std::vector<std::shared_ptr<ChromiumBrowser>> browsers_;
    std::int32_t nextCookie_ = 1;
    SinkList<ShellWindowsEvents> sinks_;
};

}  // namespace qm::cr
