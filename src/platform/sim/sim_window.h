#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/sim/sim_liveness.h"
#include "ports/page_window.h"
#include "ports/sink_list.h"

namespace qm::sim {

class SimBrowserWorld;
class SimDocument;

// The window of a simulated page or frame: where its client area stands on the screen, how large it is,
// and how wide its vertical scroll bar is.
class SimWindow final : public PageWindow, public std::enable_shared_from_this<SimWindow> {
  public:
    SimWindow(SimBrowserWorld& world, std::shared_ptr<Liveness> liveness);

    // PageWindow:
    const void* Identity() const override { return this; }
    std::shared_ptr<PageDocument> Document() override;
    std::int32_t ScreenLeft() override;
    std::int32_t ScreenTop() override;
    void SetTimeout(const std::string& code, std::int32_t milliseconds) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageWindowEvents> sink) override;

    // Control side.
    void SetClientArea(std::int32_t screenLeft,
                       std::int32_t screenTop,
                       std::int32_t width,
                       std::int32_t height,
                       std::int32_t scrollBarWidth = 16);
    std::int32_t ClientWidth() const { return width_; }
    std::int32_t ClientHeight() const { return height_; }
    std::int32_t ScrollBarWidth() const { return scrollBarWidth_; }
    std::int32_t Left() const { return left_; }
    std::int32_t Top() const { return top_; }
    void FireBeforeUnload();
    std::shared_ptr<SimDocument> Doc() const { return document_.lock(); }
    // Reading the document from outside fails, as for a frame of another site.
    void SetForeign(bool foreign) { foreign_ = foreign; }
    bool Foreign() const { return foreign_; }

  private:
    friend class SimDocument;

    void CheckCall() const;

    SimBrowserWorld& world_;
    std::shared_ptr<Liveness> liveness_;
    std::weak_ptr<SimDocument> document_;
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t scrollBarWidth_ = 16;
    bool foreign_ = false;
    SinkList<PageWindowEvents> sinks_;
};

}  // namespace qm::sim
