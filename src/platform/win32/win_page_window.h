#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/win_com.h"

#include <mshtml.h>

#include "ports/page_window.h"

namespace qm::win {

// The window of a page or frame (IHTMLWindow2, and IHTMLWindow3 for its place and its events).
class Win32PageWindow final : public PageWindow {
  public:
    explicit Win32PageWindow(ComPtr<IHTMLWindow2> window);

    const void* Identity() const override { return identity_.Get(); }
    std::shared_ptr<PageDocument> Document() override;
    std::int32_t ScreenLeft() override;
    std::int32_t ScreenTop() override;
    void SetTimeout(const std::string& code, std::int32_t milliseconds) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageWindowEvents> sink) override;

  private:
    ComPtr<IHTMLWindow3> Window3();

    ComPtr<IHTMLWindow2> window_;
    ComPtr<IUnknown> identity_;
};

}  // namespace qm::win
