#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ports/event_connection.h"

namespace qm {

class HiddenBrowser;
class PageDocument;

// Events of a watched browser (DWebBrowserEvents2), delivered on the user-interface thread.
class BrowserEvents {
  public:
    virtual ~BrowserEvents() = default;
    // A navigation is about to start; setting `cancel` stops it.
    virtual void IE_BeforeNavigate2(const std::string& url, bool& cancel) = 0;
    virtual void IE_DownloadBegin() = 0;
    // The page asks for a new window, before the window exists. Setting `ppDisp` to a hidden browser makes
    // that browser the new window's host; setting `cancel` refuses the window. The browser waits for the
    // handler.
    virtual void IE_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) = 0;
    virtual void IE_OnQuit() = 0;
    virtual void IE_StatusTextChange(const std::string& text) = 0;
};

// A browser window (IWebBrowser2). Every call but Identity() throws PlatformError once the browser has
// gone (closed, its process ended).
class Browser {
  public:
    Browser() = default;
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;
    virtual ~Browser() = default;

    virtual const void* Identity() const = 0;

    // The type name the object reports for itself: "IWebBrowser2" for a browser.
    virtual std::string TypeName() = 0;
    virtual bool Visible() = 0;
    // The current page's HTML document; null when the browser shows no HTML document (a folder view, a
    // document viewer, nothing yet).
    virtual std::shared_ptr<PageDocument> Document() = 0;
    virtual std::string LocationURL() = 0;
    // The identifier of the thread that owns the browser's top-level window (HWND, then
    // GetWindowThreadProcessId), as the user-input component expects it.
    virtual std::int32_t WindowThreadId() = 0;
    virtual void Navigate(const std::string& url) = 0;

    virtual std::unique_ptr<EventConnection> Connect(std::weak_ptr<BrowserEvents> sink) = 0;
};

}  // namespace qm
