#pragma once

#include <memory>

#include "platform/win32/win_com.h"

#include <exdisp.h>
#include "ports/hidden_browser.h"

namespace qm::win {

class OleSite;

// A WebBrowser control hosted in a window that is never shown, with the least of an OLE container that
// in-place activation needs (client site, in-place site and frame). Its automation object is what a
// watched browser is handed as the host of a new window.
class Win32HiddenBrowser final : public HiddenBrowser {
  public:
    // Throws PlatformError when the control cannot be created or activated.
    static std::shared_ptr<Win32HiddenBrowser> Create();
    ~Win32HiddenBrowser() override;

    std::unique_ptr<EventConnection> Connect(std::weak_ptr<HiddenBrowserEvents> sink) override;

    // The control's IWebBrowser2, as IDispatch (no reference added).
    IDispatch* Automation() const;

    Win32HiddenBrowser(const Win32HiddenBrowser&) = delete;
    Win32HiddenBrowser& operator=(const Win32HiddenBrowser&) = delete;

  private:
    Win32HiddenBrowser() = default;

    UniqueWindow window_;
    ComPtr<OleSite> site_;
    ComPtr<IOleObject> object_;
    ComPtr<IWebBrowser2> browser_;
};

}  // namespace qm::win
