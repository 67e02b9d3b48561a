#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ports/hidden_browser.h"
#include "ports/sink_list.h"

namespace qm::cr {

// The off-screen browser handed to a page's request for a new window: it never shows a page. The popup
// it takes is ended before its page runs; the address the popup was opened with, and for a popup opened
// blank the address it is then sent to, arrive as BeforeNavigate2.
class ChromiumHiddenBrowser final : public HiddenBrowser {
  public:
    // HiddenBrowser:
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<HiddenBrowserEvents> sink) override;

    // Returns whether a handler cancelled.
    bool FireBeforeNavigate2(const std::string& url);
    void FireNewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel);
    const std::vector<std::string>& Navigations() const { return navigations_; }

  private:
    std::vector<std::string> navigations_;
    SinkList<HiddenBrowserEvents> sinks_;
};

}  // namespace qm::cr
