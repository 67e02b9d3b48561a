#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ports/page_document.h"
#include "ports/page_window.h"
#include "ports/sink_list.h"

namespace qm::cr {

class PageContext;

// The page's window (number 2) or a frame's window. Timers are set on the page's own window only.
class ChromiumWindow final : public PageWindow {
  public:
    ChromiumWindow(std::shared_ptr<PageContext> context, int id) : context_(std::move(context)), id_(id) {}

    // PageWindow:
    const void* Identity() const override { return this; }
    std::shared_ptr<PageDocument> Document() override;
    std::int32_t ScreenLeft() override;
    std::int32_t ScreenTop() override;
    void SetTimeout(const std::string& code, std::int32_t milliseconds) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageWindowEvents> sink) override;

    void FireBeforeUnload();
    // What a batched read told of this frame's document (its number, or -1: refused). It answers the
    // next Document() as long as nothing else has been read from the page since.
    void SetKnownDocument(int id);

  private:
    std::shared_ptr<PageContext> context_;
    int id_;
    std::optional<int> knownDocument_;
    int knownAtCall_ = 0;
    SinkList<PageWindowEvents> sinks_;
};

}  // namespace qm::cr
