#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/chromium/page_target.h"
#include "ports/browser.h"
#include "ports/hidden_browser.h"
#include "ports/page_document.h"
#include "ports/sink_list.h"

namespace qm::cr {

class ChromiumWorld;

// A watched browser window: one page target. Every call but Identity() throws PlatformError once the
// page has gone (closed, crashed, or the browser ended).
class ChromiumBrowser final : public Browser {
  public:
    ChromiumBrowser(std::weak_ptr<ChromiumWorld> world, std::shared_ptr<PageTarget> target);

    // Browser:
    const void* Identity() const override { return this; }
    std::string TypeName() override;
    bool Visible() override;
    std::shared_ptr<PageDocument> Document() override;
    std::string LocationURL() override;
    std::int32_t WindowThreadId() override;
    void Navigate(const std::string& url) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<BrowserEvents> sink) override;

    const std::shared_ptr<PageTarget>& Target() const { return target_; }
    bool Alive() const { return target_->alive && !gone_; }
    // This browser object is over (its page crashed; a reload becomes a new browser).
    void SetGone() { gone_ = true; }

    bool FireBeforeNavigate2(const std::string& url);
    void FireDownloadBegin();
    void FireNewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel);
    void FireOnQuit();
    void FireStatusTextChange(const std::string& text);

  private:
    void CheckAlive() const;

    std::weak_ptr<ChromiumWorld> world_;
    std::shared_ptr<PageTarget> target_;
    bool gone_ = false;
    SinkList<BrowserEvents> sinks_;
};

}  // namespace qm::cr
