#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ports/event_connection.h"

namespace qm {

class PageDocument;

// Events of a page window.
class PageWindowEvents {
  public:
    virtual ~PageWindowEvents() = default;
    virtual void Window_onbeforeunload() = 0;
};

// The window object of a page or of a frame (IHTMLWindow2). Any call may throw PlatformError; reading the
// document of a frame that shows another site's page always does.
class PageWindow {
  public:
    PageWindow() = default;
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;
    virtual ~PageWindow() = default;

    virtual const void* Identity() const = 0;

    virtual std::shared_ptr<PageDocument> Document() = 0;
    // Screen position of the window's client area, in pixels.
    virtual std::int32_t ScreenLeft() = 0;
    virtual std::int32_t ScreenTop() = 0;
    // Runs `code` inside the page after its current work, `milliseconds` from now.
    virtual void SetTimeout(const std::string& code, std::int32_t milliseconds) = 0;

    virtual std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageWindowEvents> sink) = 0;
};

}  // namespace qm
