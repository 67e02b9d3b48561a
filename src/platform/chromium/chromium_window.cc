#include "platform/chromium/chromium_window.h"

#include <utility>

#include "base/platform_error.h"
#include "platform/chromium/chromium_document.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/page_context.h"

namespace qm::cr {

void ChromiumWindow::SetKnownDocument(int id) {
    knownDocument_ = id;
    knownAtCall_ = context_->CallCount();
}

std::shared_ptr<PageDocument> ChromiumWindow::Document() {
    const std::optional<int> known = std::exchange(knownDocument_, std::nullopt);
    if (known && knownAtCall_ == context_->CallCount() && context_->Alive()) {
        if (*known < 0) {
            throw PlatformError("Permission denied", 0, "Chromium page");
        }
        return context_->DocumentFor(*known);
    }
    // A frame of another site refuses: the page library's read throws the browser's security error.
    return context_->DocumentFor(IntFrom(context_->RunOne({"wdoc", id_})));
}

std::int32_t ChromiumWindow::ScreenLeft() {
    const Json answer = context_->RunOne({"wpos", id_});
    // Whatever the page says, only a position inside the 32-bit range is taken.
    return answer.is_array() && answer.size() == 2 ? RoundedInt32From(answer[0]).value_or(0) : 0;
}

std::int32_t ChromiumWindow::ScreenTop() {
    const Json answer = context_->RunOne({"wpos", id_});
    return answer.is_array() && answer.size() == 2 ? RoundedInt32From(answer[1]).value_or(0) : 0;
}

void ChromiumWindow::SetTimeout(const std::string& code, std::int32_t milliseconds) {
    if (id_ != 2) {
        // FIXME: code for a frame's window would need that frame's own script world.
        throw PlatformError("Timers are only set on the page's own window", 0, "Chromium page");
    }
    // The page's timer runs in the program's world, where the page cannot cancel or replace it; when it
    // fires, the code runs in the page's world.
    const std::int64_t key = context_->AddTimeout(code);
    context_->Write({"timeout", milliseconds, key});
    context_->Flush();
}

std::unique_ptr<EventConnection> ChromiumWindow::Connect(std::weak_ptr<PageWindowEvents> sink) {
    return sinks_.Add(std::move(sink));
}

void ChromiumWindow::FireBeforeUnload() {
    sinks_.Fire([](PageWindowEvents& sink) { sink.Window_onbeforeunload(); });
}

}  // namespace qm::cr
