#include "platform/sim/sim_window.h"

#include "base/platform_error.h"
#include "platform/sim/sim_browser_world.h"
#include "platform/sim/sim_document.h"
#include "platform/sim/sim_event_loop.h"

namespace qm::sim {

SimWindow::SimWindow(SimBrowserWorld& world, std::shared_ptr<Liveness> liveness)
    : world_(world), liveness_(std::move(liveness)) {}

void SimWindow::CheckCall() const {
    world_.NoteCall();
    if (!liveness_->alive) {
        throw kGone;
    }
}

std::shared_ptr<PageDocument> SimWindow::Document() {
    CheckCall();
    if (foreign_) {
        throw PlatformError("Access is denied.", 70);
    }
    return document_.lock();
}

std::int32_t SimWindow::ScreenLeft() {
    CheckCall();
    return left_;
}

std::int32_t SimWindow::ScreenTop() {
    CheckCall();
    return top_;
}

void SimWindow::SetTimeout(const std::string& code, std::int32_t milliseconds) {
    CheckCall();
    std::weak_ptr<SimDocument> document = document_;
    world_.Loop().Post(
        [document, code] {
            if (const auto d = document.lock()) {
                d->RunScript(code);
            }
        },
        milliseconds);
}

std::unique_ptr<EventConnection> SimWindow::Connect(std::weak_ptr<PageWindowEvents> sink) {
    CheckCall();
    return sinks_.Add(std::move(sink));
}

void SimWindow::SetClientArea(std::int32_t screenLeft,
                              std::int32_t screenTop,
                              std::int32_t width,
                              std::int32_t height,
                              std::int32_t scrollBarWidth) {
    left_ = screenLeft;
    top_ = screenTop;
    width_ = width;
    height_ = height;
    scrollBarWidth_ = scrollBarWidth;
}

void SimWindow::FireBeforeUnload() {
    sinks_.Fire([](PageWindowEvents& sink) { sink.Window_onbeforeunload(); });
}

}  // namespace qm::sim
