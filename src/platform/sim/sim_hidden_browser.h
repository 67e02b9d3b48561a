#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ports/hidden_browser.h"
#include "ports/sink_list.h"

namespace qm::sim {

// An off-screen browser the program made; tests drive what the page it hosts does.
class SimHiddenBrowser final : public HiddenBrowser {
  public:
    // HiddenBrowser:
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<HiddenBrowserEvents> sink) override;

    // Control side.
    // A navigation of the hosted window; returns whether the program cancelled it. Navigations that go
    // on are recorded as loaded.
    bool Navigate(const std::string& url);
    // The hosted page asks for a window of its own; returns whether the program refused it.
    bool RequestNewWindow();
    const std::vector<std::string>& Loaded() const { return loaded_; }
    const std::vector<std::string>& Cancelled() const { return cancelled_; }

  private:
    std::vector<std::string> loaded_;
    std::vector<std::string> cancelled_;
    SinkList<HiddenBrowserEvents> sinks_;
};

}  // namespace qm::sim
