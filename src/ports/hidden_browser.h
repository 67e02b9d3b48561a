#pragma once

#include <memory>
#include <string>

#include "ports/event_connection.h"

namespace qm {

class HiddenBrowser;

// Events of a hidden browser.
class HiddenBrowserEvents {
  public:
    virtual ~HiddenBrowserEvents() = default;
    // A navigation of the hidden browser is about to start; setting `cancel` stops it.
    virtual void Browser_BeforeNavigate2(const std::string& url, bool& cancel) = 0;
    // A page inside the hidden browser asks for a new window; setting `cancel` refuses it.
    virtual void Browser_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) = 0;
};

// An off-screen browser that a watched browser can be given as the host of a new window (set into the
// `ppDisp` slot of its NewWindow2 event). It never shows anything. It reports each navigation before
// it happens, with the power to cancel it, and each request of its page for a new window, with the
// power to refuse it. The engine keeps it alive while it hosts a window; the program holds it too.
class HiddenBrowser {
  public:
    HiddenBrowser() = default;
    HiddenBrowser(const HiddenBrowser&) = delete;
    HiddenBrowser& operator=(const HiddenBrowser&) = delete;
    virtual ~HiddenBrowser() = default;

    virtual std::unique_ptr<EventConnection> Connect(std::weak_ptr<HiddenBrowserEvents> sink) = 0;
};

}  // namespace qm
