#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <exdisp.h>

#include "platform/win32/win_com.h"
#include "ports/browser.h"

namespace qm::win {

// Internet Explorer's browser object (IWebBrowser2), in a browser window of its own or hosted.
class Win32Browser final : public Browser {
  public:
    explicit Win32Browser(ComPtr<IWebBrowser2> browser);

    const void* Identity() const override { return identity_.Get(); }
    std::string TypeName() override;
    bool Visible() override;
    std::shared_ptr<PageDocument> Document() override;
    std::string LocationURL() override;
    std::int32_t WindowThreadId() override;
    void Navigate(const std::string& url) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<BrowserEvents> sink) override;

  private:
    ComPtr<IWebBrowser2> browser_;
    ComPtr<IUnknown> identity_;
};

}  // namespace qm::win
